#include "edit_recovery.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "connections.h"
#include "controls/dialogs.h"
#include "controls/events.h"
#include "kind_windows.h"
#include "platform.h"
#include "record_saving.h"
#include "schema.h"
#include "shown_question.h"

namespace app {

namespace fs = std::filesystem;
using store::Value;

namespace {

// Whole numbers as text: JSON numbers lose digits past 2^53.
QJsonObject toJson(const Value& v) {
  if (v.isNull()) return {{"t", "null"}};
  if (v.isInteger()) return {{"t", "int"}, {"v", QString::number(v.toInt())}};
  if (v.isDouble()) return {{"t", "real"}, {"v", v.toDouble()}};
  return {{"t", "text"}, {"v", QString::fromStdString(v.text())}};
}

Value fromJson(const QJsonObject& o) {
  const QString t = o.value("t").toString();
  if (t == "null") return Value();
  if (t == "int") return Value(o.value("v").toString().toLongLong());
  if (t == "real") return Value(o.value("v").toDouble());
  if (t == "text") return Value(o.value("v").toString().toStdString());
  throw std::runtime_error("a value of unknown type");
}

std::string now() { return QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss").toStdString(); }

}  // namespace

fs::path recoveryPath(const fs::path& appFolder) { return appFolder / "zorbex_recovery.json"; }

void writeRecoveryFile(const fs::path& path, const RecoveryFile& file) {
  if (file.edits.empty()) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) throw std::system_error(ec, "cannot remove " + path.string());
    return;
  }
  QJsonArray edits;
  for (const KeptEdits& e : file.edits) {
    QJsonObject fields;
    for (const auto& [name, value] : e.fields) fields.insert(QString::fromStdString(name), toJson(value));
    edits.append(QJsonObject{{"kind", bank::schema::kindEntry(e.kind).name},
                             {"pool", QString::fromStdString(e.pool)},
                             {"numQ", QString::fromStdString(e.numQ)},
                             {"fields", fields}});
  }
  const QByteArray bytes = QJsonDocument(QJsonObject{{"bank", QString::fromStdString(file.bank)},
                                                     {"savedAt", QString::fromStdString(file.savedAt)},
                                                     {"edits", edits}})
                               .toJson();
  const fs::path temp = path.string() + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.constData(), bytes.size());
    out.flush();
    if (!out) throw std::system_error(std::make_error_code(std::errc::io_error), "cannot write " + temp.string());
  }
  platform::replaceFile(temp, path);
}

std::optional<RecoveryFile> readRecoveryFile(const fs::path& path) {
  QFile f(QString::fromStdString(path.string()));
  if (!f.exists()) return std::nullopt;
  if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot be opened");
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) throw std::runtime_error("is not a recovery file");
  RecoveryFile out;
  out.bank = doc["bank"].toString().toStdString();
  out.savedAt = doc["savedAt"].toString().toStdString();
  for (const QJsonValue& item : doc["edits"].toArray()) {
    const QJsonObject o = item.toObject();
    const std::optional<bank::schema::Kind> kind = bank::schema::kindNamed(o["kind"].toString().toStdString());
    if (!kind) throw std::runtime_error("names no kind of question");
    KeptEdits e{*kind, o["pool"].toString().toStdString(), o["numQ"].toString().toStdString(), {}};
    const QJsonObject fields = o["fields"].toObject();
    for (auto it = fields.begin(); it != fields.end(); ++it) e.fields[it.key().toStdString()] = fromJson(it->toObject());
    if (e.numQ.empty() || e.fields.empty()) throw std::runtime_error("holds an entry without a question or edits");
    out.edits.push_back(std::move(e));
  }
  return out;
}

EditRecovery::EditRecovery(bank::ProgramState& state) : state_(state) {
  timer_.setInterval(500);  // "within a second of each edit"
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (!inputSinceTick_) return;
    inputSinceTick_ = false;
    try {
      keepNow();
    } catch (const std::exception&) {  // a full disk, say: tried again at the next tick
    }
  });
}

bool EditRecovery::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonRelease:
    case QEvent::InputMethod:
    case QEvent::Drop:
    case QEvent::Wheel:
      inputSinceTick_ = true;
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

bool EditRecovery::keepNow() {
  std::vector<KeptEdits> edits;
  for (editor::ShownQuestion* e : editor::openEditors()) {
    editor::Record fields = e->unsavedEdits();
    if (!fields.empty()) edits.push_back({e->shownKind(), e->shownPool(), e->shownNumber(), std::move(fields)});
  }
  if (edits == written_ && fileThere_ == !edits.empty()) return !edits.empty();
  writeRecoveryFile(recoveryPath(state_.appFolder), {bank::BankDescription(state_), now(), edits});
  written_ = std::move(edits);
  fileThere_ = !written_.empty();
  return fileThere_;
}

void EditRecovery::stop() {
  timer_.stop();
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void EditRecovery::offerThenWatch(ui::Form& formInit) {
  // Whatever the offer did, the watch starts from the file as it is now.
  auto watch = [this] {
    std::error_code ec;
    fileThere_ = fs::exists(recoveryPath(state_.appFolder), ec);
    written_.clear();
    inputSinceTick_ = true;  // edits brought back are kept at the first tick
    QCoreApplication::instance()->installEventFilter(this);
    timer_.start();
  };
  try {
    offer(formInit);
  } catch (...) {
    watch();
    throw;
  }
  watch();
}

void EditRecovery::offer(ui::Form& formInit) {
  const fs::path path = recoveryPath(state_.appFolder);
  // Kept edits that cannot be brought back are set aside under a dated name, never lost.
  auto setAside = [&](const std::string& why) {
    const fs::path aside =
        state_.appFolder /
        ("zorbex_recovery-" + QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss").toStdString() + ".json");
    std::error_code ec;
    fs::rename(path, aside, ec);
    ui::MsgBox(why + (ec ? "\n\nThey stay in " + path.string() + "."
                         : "\n\nThey are kept in " + aside.string() + "."),
               ui::MsgButtons::OkOnly, ui::MsgIcon::Exclamation, "Unsaved Edits");
  };
  std::optional<RecoveryFile> file;
  try {
    file = readRecoveryFile(path);
  } catch (const std::exception& e) {
    setAside("The file of edits kept when the program last ended " + std::string(e.what()) + ".");
    return;
  }
  if (!file) return;
  if (file->bank != bank::BankDescription(state_)) {
    setAside("Edits kept when the program last ended (" + file->savedAt + ") were made on " + file->bank +
             ", not on the bank that the program now works on.");
    return;
  }
  std::string list;
  for (const KeptEdits& e : file->edits) {
    std::vector<std::string> names;
    for (const auto& [name, value] : e.fields) names.push_back(name);
    list += std::string("\n  ") + bank::schema::kindEntry(e.kind).name + " question " + e.numQ + ": " +
            editor::fieldNames(editor::recordFields(e.kind), names);
  }
  const ui::MsgResult answer =
      ui::MsgBox("When the program last ended (" + file->savedAt + "), edits were on screen that had not been saved:" +
                     list +
                     "\n\nBring them back into the editor?\n"
                     "Yes: the editor opens with them as unsaved edits.\n"
                     "No: they are discarded.",
                 ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation, "Unsaved Edits");
  if (answer != ui::MsgResult::Yes) {
    writeRecoveryFile(path, {});
    return;
  }
  std::string lost;
  for (const KeptEdits& e : file->edits) {
    editor::ShownQuestion* shown = showEditorOf(e.kind, state_, formInit);
    if (shown) shown->bringBack(e.pool, e.numQ, e.fields);
    if (!shown || shown->shownNumber() != e.numQ || shown->unsavedEdits().empty())
      lost += std::string("\n  ") + bank::schema::kindEntry(e.kind).name + " question " + e.numQ;
  }
  if (!lost.empty()) setAside("These questions are no longer in their pools, so their edits were not brought back:" + lost);
}

}  // namespace app
