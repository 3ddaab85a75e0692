#include "rtf_reader.h"

#include <QColor>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "code_page.h"
#include "rtf_format.h"

namespace ui::rtf {

namespace {

// Deeper groups are still matched brace for brace but share their parent's state, so
// that nesting costs no memory.
constexpr int kMaxDepth = 256;
// RichEdit keeps at most 32 tab stops per paragraph.
constexpr size_t kMaxTabs = 32;
constexpr int kMaxWordLength = 32;
constexpr size_t kMaxFonts = 1024;

enum class Dest {
  Text,        // document text
  Skip,        // a destination without text for us
  FontTable,
  ColorTable,
  Container,   // a picture or object group: its text is not document text
  Picture,     // inside \pict: hex data
};

enum class Word {
  Unknown,
  // destinations
  FontTable, ColorTable, SkipDest, Ignorable, Pict, Object, ShpPict, NonShpPict, FieldResult, ListText,
  // document
  Rtf, Ansi, Mac, Pc, Pca, AnsiCpg, DefFont, Uc, U, Bin,
  // characters
  Plain, F, Fs, B, I, Ul, UlNone, UlKind, Strike, Super, Sub, NoSuperSub, Up, Dn, Cf, Highlight, Cb, FCharset,
  Red, Green, Blue,
  // paragraphs and breaks
  Par, Line, Tab, Cell, Row, Page, Pard, Ql, Qc, Qr, Qj, Li, Ri, Fi, Sb, Sa, Sl, SlMult, Tx, Tqr, Tqc, Tqdec,
  // pictures
  PngBlip, JpegBlip, PicWGoal, PicHGoal, PicScaleX, PicScaleY,
  // characters written as words
  Char,
};

struct WordInfo {
  Word word;
  char16_t ch = 0;  // for Word::Char
};

const std::unordered_map<std::string_view, WordInfo>& wordTable() {
  static const std::unordered_map<std::string_view, WordInfo> table = [] {
    std::unordered_map<std::string_view, WordInfo> t;
    t["fonttbl"] = {Word::FontTable};
    t["colortbl"] = {Word::ColorTable};
    for (const char* d :
         {"stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
          "footerf", "footnote", "annotation", "atnid", "atnauthor", "pn", "pnseclvl", "pntxta", "pntxtb",
          "listtable", "listoverridetable", "revtbl", "rsidtbl", "xmlnstbl", "generator", "fldinst", "bkmkstart",
          "bkmkend", "objdata", "objclass", "objname", "themedata", "colorschememapping", "latentstyles",
          "datastore", "pgdsctbl", "ftnsep", "ftnsepc", "aftnsep", "aftnsepc", "txe", "xe", "tc", "template",
          "comment", "title", "subject", "author", "operator", "keywords", "doccomm", "creatim", "revtim",
          "printim", "buptim", "private", "userprops", "docvar", "filetbl", "fchars", "lchars", "pgptbl",
          "protusertbl", "passwordhash", "blipuid", "picprop", "sp", "sn", "sv", "shpinst", "mmathPr",
          "expandedcolortbl", "fldtype", "falt", "panose", "fname", "nextfile", "company", "category",
          "manager", "hlinkbase", "version", "vern", "edmins", "nofpages", "nofwords", "nofchars",
          "nofcharsws", "id", "list", "listlevel", "leveltext", "levelnumbers", "listname",
          "listpicture", "listoverride", "lfolevel"})
      t[d] = {Word::SkipDest};
    // Marked as destinations, but some writers put the table's text inside.
    t["nesttableprops"] = {Word::Ignorable};
    t["pict"] = {Word::Pict};
    t["object"] = {Word::Object};
    t["shppict"] = {Word::ShpPict};
    t["nonshppict"] = {Word::NonShpPict};
    t["fldrslt"] = {Word::FieldResult};
    t["pntext"] = {Word::ListText};
    t["listtext"] = {Word::ListText};
    t["rtf"] = {Word::Rtf};
    t["ansi"] = {Word::Ansi};
    t["mac"] = {Word::Mac};
    t["pc"] = {Word::Pc};
    t["pca"] = {Word::Pca};
    t["ansicpg"] = {Word::AnsiCpg};
    t["deff"] = {Word::DefFont};
    t["uc"] = {Word::Uc};
    t["u"] = {Word::U};
    t["bin"] = {Word::Bin};
    t["plain"] = {Word::Plain};
    t["f"] = {Word::F};
    t["fs"] = {Word::Fs};
    t["b"] = {Word::B};
    t["i"] = {Word::I};
    t["ul"] = {Word::Ul};
    t["ulnone"] = {Word::UlNone};
    for (const char* u : {"uld", "uldb", "ulw", "ulwave", "ulhwave", "ululdbwave", "uldash", "uldashd", "uldashdd",
                          "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulldash", "ulthldash"})
      t[u] = {Word::UlKind};
    t["strike"] = {Word::Strike};
    t["striked"] = {Word::Strike};
    t["super"] = {Word::Super};
    t["sub"] = {Word::Sub};
    t["nosupersub"] = {Word::NoSuperSub};
    t["up"] = {Word::Up};
    t["dn"] = {Word::Dn};
    t["cf"] = {Word::Cf};
    t["highlight"] = {Word::Highlight};
    t["cb"] = {Word::Cb};
    t["chcbpat"] = {Word::Cb};
    t["fcharset"] = {Word::FCharset};
    t["red"] = {Word::Red};
    t["green"] = {Word::Green};
    t["blue"] = {Word::Blue};
    t["par"] = {Word::Par};
    t["sect"] = {Word::Page};
    t["line"] = {Word::Line};
    t["tab"] = {Word::Tab};
    t["cell"] = {Word::Cell};
    t["nestcell"] = {Word::Cell};
    t["row"] = {Word::Row};
    t["nestrow"] = {Word::Row};
    t["page"] = {Word::Page};
    t["pard"] = {Word::Pard};
    t["ql"] = {Word::Ql};
    t["qc"] = {Word::Qc};
    t["qr"] = {Word::Qr};
    t["qj"] = {Word::Qj};
    t["li"] = {Word::Li};
    t["ri"] = {Word::Ri};
    t["fi"] = {Word::Fi};
    t["sb"] = {Word::Sb};
    t["sa"] = {Word::Sa};
    t["sl"] = {Word::Sl};
    t["slmult"] = {Word::SlMult};
    t["tx"] = {Word::Tx};
    t["tqr"] = {Word::Tqr};
    t["tqc"] = {Word::Tqc};
    t["tqdec"] = {Word::Tqdec};
    t["pngblip"] = {Word::PngBlip};
    t["jpegblip"] = {Word::JpegBlip};
    t["picwgoal"] = {Word::PicWGoal};
    t["pichgoal"] = {Word::PicHGoal};
    t["picscalex"] = {Word::PicScaleX};
    t["picscaley"] = {Word::PicScaleY};
    t["emdash"] = {Word::Char, 0x2014};
    t["endash"] = {Word::Char, 0x2013};
    t["emspace"] = {Word::Char, 0x2003};
    t["enspace"] = {Word::Char, 0x2002};
    t["qmspace"] = {Word::Char, 0x2005};
    t["bullet"] = {Word::Char, 0x2022};
    t["lquote"] = {Word::Char, 0x2018};
    t["rquote"] = {Word::Char, 0x2019};
    t["ldblquote"] = {Word::Char, 0x201C};
    t["rdblquote"] = {Word::Char, 0x201D};
    t["zwj"] = {Word::Char, 0x200D};
    t["zwnj"] = {Word::Char, 0x200C};
    t["ltrmark"] = {Word::Char, 0x200E};
    t["rtlmark"] = {Word::Char, 0x200F};
    return t;
  }();
  return table;
}

struct CharState {
  int font = -1;  // font table number; -1 before any is chosen
  int halfPoints = 24;
  bool bold = false;
  bool italic = false;
  bool strike = false;
  QString underline;  // control word, empty when off
  int vertical = 0;   // 0 baseline, 1 superscript, 2 subscript
  int offset = 0;     // \up (> 0) / \dn (< 0), half-points
  int foreground = 0; // colour table index; 0 with an auto entry means automatic
  int background = -1;
  bool operator==(const CharState&) const = default;
};

struct TabStop {
  int position;
  QTextOption::TabType type;
};

struct ParaState {
  int align = 0;  // 0 left, 1 centre, 2 right, 3 justified
  int left = 0, right = 0, first = 0, before = 0, after = 0;
  int lineSpacing = 0, lineMultiple = 0;
  QTextOption::TabType nextTabType = QTextOption::LeftTab;
  std::vector<TabStop> tabs;
};

struct State {
  CharState chr;
  ParaState para;
  Dest dest = Dest::Text;
  int uc = 1;
  qsizetype groupStart = 0;   // offset of this group's '{'
  bool ownsCapture = false;   // this group is a picture or object to keep whole
};

struct FontEntry {
  QString name;
  int charset = -1;  // -1: not given, the document code page applies
};

struct Capture {
  bool image = false;    // PNG or JPEG: its data is collected and shown
  int pictures = 0;
  QByteArray data;
  int nibble = -1;
  int goalW = 0, goalH = 0, scaleX = 100, scaleY = 100;  // twips, per cent
};

class Reader {
 public:
  Reader(const QByteArray& input, QTextDocument& doc) : in_(input), doc_(doc), cursor_(&doc) {}

  void run() {
    // One edit block: the cursor does not lay text out after every insertion.
    cursor_.beginEditBlock();
    states_.push_back(State{});
    const char* data = in_.constData();
    const qsizetype size = in_.size();
    while (pos_ < size && !done_) {
      const char c = data[pos_];
      switch (c) {
        case '{':
          openGroup();
          ++pos_;
          break;
        case '}':
          closeGroup();
          ++pos_;
          break;
        case '\\':
          control();
          break;
        case '\r':
        case '\n':
        case '\0':
          ++pos_;
          break;
        default:
          textBytes();
          break;
      }
    }
    flush();
    // Groups still open at the end stay open: a picture cut off by the end is dropped,
    // as kept whole it would write back unbalanced.
    if (pendingBreaks_ == 0 && !doc_.isEmpty()) cursor_.setBlockFormat(blockFormat());
    cursor_.endEditBlock();
  }

 private:
  State& st() { return states_.back(); }

  // ---- groups

  void openGroup() {
    flush();
    ucSkip_ = 0;
    if (static_cast<int>(states_.size()) >= kMaxDepth) {
      ++overflow_;
      groupOpened_ = false;
      return;
    }
    groupOpened_ = true;
    State next = st();
    next.groupStart = pos_;
    next.ownsCapture = false;
    states_.push_back(std::move(next));
  }

  void closeGroup() {
    flush();
    ucSkip_ = 0;
    groupOpened_ = false;
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    if (states_.size() <= 1) return;  // a stray '}' at the top level
    State closing = std::move(states_.back());
    states_.pop_back();
    if (closing.dest == Dest::FontTable) commitFont();
    if (closing.ownsCapture) insertCapture(closing);
    // The document ends with the group that \rtf opened; what follows is not part of it
    // (a NUL, or text that a program appended).
    if (states_.size() == 1 && rtfGroup_) done_ = true;
  }

  // ---- tokens

  void control() {
    const char* data = in_.constData();
    const qsizetype size = in_.size();
    ++pos_;  // the backslash
    if (pos_ >= size) return;
    const char c = data[pos_];
    const bool opened = groupOpened_;
    groupOpened_ = false;
    if (isLetter(c)) {
      const qsizetype start = pos_;
      while (pos_ < size && isLetter(data[pos_])) ++pos_;
      std::string_view name(data + start, static_cast<size_t>(std::min<qsizetype>(pos_ - start, kMaxWordLength)));
      bool hasParam = false;
      bool negative = false;
      long long value = 0;
      if (pos_ < size && data[pos_] == '-' && pos_ + 1 < size && isDigit(data[pos_ + 1])) {
        negative = true;
        ++pos_;
      }
      while (pos_ < size && isDigit(data[pos_])) {
        hasParam = true;
        if (value < 100000000000LL) value = value * 10 + (data[pos_] - '0');
        ++pos_;
      }
      if (pos_ < size && data[pos_] == ' ') ++pos_;
      if (negative) value = -value;
      const int param = static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
      wordOpensGroup_ = opened;
      word(name, hasParam, param);
      return;
    }
    ++pos_;
    if (c == '\'') {
      int hi = pos_ < size ? hexValue(data[pos_]) : -1;
      int lo = pos_ + 1 < size ? hexValue(data[pos_ + 1]) : -1;
      // An incomplete escape is dropped with the digits it has.
      if (hi < 0) return;
      if (lo < 0) {
        ++pos_;
        return;
      }
      pos_ += 2;
      if (skipFallback()) return;
      byte(static_cast<char>(hi * 16 + lo));
      return;
    }
    if (skipFallback()) return;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        byte(c);
        break;
      case '~':
        character(0x00A0);
        break;
      case '_':
        character(0x2011);
        break;
      case '\r':
      case '\n':
        paragraph();
        break;
      case '*':
        // Marks a destination only at the start of a group; elsewhere writers use it
        // before ordinary words, which are then read as usual.
        starred_ = opened;
        groupOpened_ = opened;
        return;
      default:  // \- (optional hyphen), \: and unknown symbols carry no text
        break;
    }
    starred_ = false;
  }

  // Characters after \uN that stand in for it in older readers.
  bool skipFallback() {
    if (ucSkip_ <= 0) return false;
    --ucSkip_;
    return true;
  }

  void textBytes() {
    const char* data = in_.constData();
    const qsizetype size = in_.size();
    // "{*\" is a \* that lost its backslash; some writers produce it.
    if (groupOpened_ && data[pos_] == '*' && pos_ + 1 < size && data[pos_ + 1] == '\\') {
      starred_ = true;
      ++pos_;
      return;
    }
    starred_ = false;
    groupOpened_ = false;
    if (ucSkip_ > 0) {
      --ucSkip_;
      ++pos_;
      return;
    }
    if (st().dest != Dest::Text) {
      byte(data[pos_++]);
      return;
    }
    qsizetype end = pos_;
    while (end < size) {
      char c = data[end];
      if (c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n' || c == '\0') break;
      ++end;
    }
    textRun(data + pos_, static_cast<size_t>(end - pos_));
    pos_ = end;
  }

  void word(std::string_view name, bool hasParam, int param) {
    const auto& table = wordTable();
    auto it = table.find(name);
    const WordInfo info = it == table.end() ? WordInfo{Word::Unknown} : it->second;
    const bool starred = starred_;
    starred_ = false;

    if (info.word == Word::Bin) {
      binary(hasParam ? param : 0);
      skipFallback();
      return;
    }
    if (skipFallback()) return;

    if (starred && info.word != Word::ShpPict && info.word != Word::FontTable &&
        info.word != Word::ColorTable && info.word != Word::Pict && info.word != Word::Ignorable) {
      flush();
      st().dest = Dest::Skip;
      return;
    }

    State& s = st();
    CharState& ch = s.chr;
    ParaState& pa = s.para;
    const int on = hasParam ? param : 1;
    switch (info.word) {
      case Word::Unknown:
        return;
      // The tables belong to the document: inside a picture or a skipped group they are
      // skipped with it.
      case Word::FontTable:
        flush();
        s.dest = s.dest == Dest::Text ? Dest::FontTable : Dest::Skip;
        return;
      case Word::ColorTable:
        flush();
        s.dest = s.dest == Dest::Text ? Dest::ColorTable : Dest::Skip;
        colour_ = {};
        return;
      case Word::SkipDest:
      case Word::NonShpPict:
        flush();
        s.dest = Dest::Skip;
        return;
      case Word::FieldResult:
      case Word::ListText:
      case Word::Ignorable:
        return;
      case Word::Object:
      case Word::ShpPict:
        flush();
        startCapture(Dest::Container);
        return;
      case Word::Pict:
        flush();
        startCapture(Dest::Picture);
        return;
      case Word::Rtf:
        if (states_.size() == 2) rtfGroup_ = true;
        return;
      case Word::Ansi:
        ansiCodePage_ = 1252;
        return;
      case Word::Mac:
        ansiCodePage_ = 10000;
        return;
      case Word::Pc:
        ansiCodePage_ = 437;
        return;
      case Word::Pca:
        ansiCodePage_ = 850;
        return;
      case Word::AnsiCpg:
        if (hasParam && param > 0) ansiCodePage_ = param;
        formatValid_ = false;
        return;
      case Word::DefFont:
        defaultFont_ = param;
        if (ch.font < 0) ch.font = param;
        return;
      case Word::Uc:
        s.uc = std::clamp(param, 0, 16);
        return;
      case Word::U:
        unicode(param);
        ucSkip_ = s.uc;
        return;
      case Word::Char:
        character(info.ch);
        return;
      case Word::Tab:
        character('\t');
        return;
      case Word::Line:
        character(QChar::LineSeparator);
        return;
      default:
        break;
    }

    flush();
    switch (info.word) {
      case Word::Plain:
        ch = CharState{};
        ch.font = defaultFont_;
        break;
      case Word::F:
        if (s.dest == Dest::FontTable) {
          commitFont();
          font_ = {};
          fontNumber_ = param;
          fontOpen_ = true;
          fontBytes_.clear();
          fontName_.clear();
        } else {
          ch.font = param;
        }
        break;
      case Word::FCharset:
        if (s.dest == Dest::FontTable) font_.charset = param;
        break;
      case Word::Fs:
        if (hasParam && param > 0 && param <= 3276) ch.halfPoints = param;
        break;
      case Word::B:
        ch.bold = on != 0;
        break;
      case Word::I:
        ch.italic = on != 0;
        break;
      case Word::Ul:
        ch.underline = on != 0 ? QStringLiteral("ul") : QString();
        break;
      case Word::UlKind:
        ch.underline = on != 0 ? QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())) : QString();
        break;
      case Word::UlNone:
        ch.underline.clear();
        break;
      case Word::Strike:
        ch.strike = on != 0;
        break;
      case Word::Super:
        ch.vertical = 1;
        ch.offset = 0;
        break;
      case Word::Sub:
        ch.vertical = 2;
        ch.offset = 0;
        break;
      case Word::NoSuperSub:
        ch.vertical = 0;
        ch.offset = 0;
        break;
      case Word::Up:
        ch.offset = hasParam ? std::clamp(param, 0, 3276) : 6;
        ch.vertical = ch.offset > 0 ? 1 : 0;
        break;
      case Word::Dn:
        ch.offset = -(hasParam ? std::clamp(param, 0, 3276) : 6);
        ch.vertical = ch.offset < 0 ? 2 : 0;
        break;
      case Word::Cf:
        ch.foreground = std::max(param, 0);
        break;
      case Word::Highlight:
      case Word::Cb:
        ch.background = param > 0 ? param : -1;
        break;
      case Word::Red:
        colour_.r = std::clamp(param, 0, 255);
        colour_.seen = true;
        break;
      case Word::Green:
        colour_.g = std::clamp(param, 0, 255);
        colour_.seen = true;
        break;
      case Word::Blue:
        colour_.b = std::clamp(param, 0, 255);
        colour_.seen = true;
        break;
      case Word::Par:
        paragraph();
        break;
      case Word::Page:
        // A page or section break ends a paragraph only where one is open.
        if (pendingBreaks_ == 0 && cursor_.block().length() > 1) paragraph();
        break;
      case Word::Cell:
        paragraph();
        afterCell_ = true;
        break;
      case Word::Row:
        if (!afterCell_) paragraph();
        afterCell_ = false;
        break;
      case Word::Pard:
        pa = ParaState{};
        break;
      case Word::Ql:
        pa.align = 0;
        break;
      case Word::Qc:
        pa.align = 1;
        break;
      case Word::Qr:
        pa.align = 2;
        break;
      case Word::Qj:
        pa.align = 3;
        break;
      case Word::Li:
        pa.left = measure(param);
        break;
      case Word::Ri:
        pa.right = measure(param);
        break;
      case Word::Fi:
        pa.first = measure(param);
        break;
      case Word::Sb:
        pa.before = measure(param);
        break;
      case Word::Sa:
        pa.after = measure(param);
        break;
      case Word::Sl:
        pa.lineSpacing = measure(param);
        break;
      case Word::SlMult:
        pa.lineMultiple = param;
        break;
      case Word::Tqr:
        pa.nextTabType = QTextOption::RightTab;
        break;
      case Word::Tqc:
        pa.nextTabType = QTextOption::CenterTab;
        break;
      case Word::Tqdec:
        pa.nextTabType = QTextOption::DelimiterTab;
        break;
      case Word::Tx:
        if (pa.tabs.size() < kMaxTabs) pa.tabs.push_back({measure(param), pa.nextTabType});
        pa.nextTabType = QTextOption::LeftTab;
        break;
      case Word::PngBlip:
      case Word::JpegBlip:
        if (s.dest == Dest::Picture) {
          capture_.image = true;
        }
        break;
      case Word::PicWGoal:
        if (s.dest == Dest::Picture) capture_.goalW = param;
        break;
      case Word::PicHGoal:
        if (s.dest == Dest::Picture) capture_.goalH = param;
        break;
      case Word::PicScaleX:
        if (s.dest == Dest::Picture) capture_.scaleX = param;
        break;
      case Word::PicScaleY:
        if (s.dest == Dest::Picture) capture_.scaleY = param;
        break;
      default:
        break;
    }
  }

  // ---- text

  int codePage() const {
    auto it = fonts_.find(states_.back().chr.font);
    if (it == fonts_.end()) return ansiCodePage_;
    return codePageOfFont(it->second.charset, it->second.name, ansiCodePage_);
  }

  // One byte of text or of a \'hh escape, in whatever destination is open.
  void byte(char b) {
    State& s = st();
    switch (s.dest) {
      case Dest::Text:
        textRun(&b, 1);
        break;
      case Dest::FontTable:
        if (b == ';') {
          commitFont();
        } else if (fontOpen_) {
          fontBytes_ += b;
        }
        break;
      case Dest::ColorTable:
        if (b == ';') {
          colours_.push_back(colour_.seen ? QColor(colour_.r, colour_.g, colour_.b) : QColor());
          colour_ = {};
          formatValid_ = false;
        }
        break;
      case Dest::Picture:
        pictureByte(b);
        break;
      default:
        break;
    }
  }

  void textRun(const char* bytes, size_t size) {
    if (st().dest != Dest::Text) return;
    const int cp = codePage();
    if (!pendingBytes_.isEmpty() && cp != pendingCodePage_) decodePending();
    pendingCodePage_ = cp;
    pendingBytes_.append(bytes, static_cast<qsizetype>(size));
  }

  void decodePending() {
    if (pendingBytes_.isEmpty()) return;
    QString decoded;
    decoder_.decode(pendingCodePage_, pendingBytes_.constData(), static_cast<size_t>(pendingBytes_.size()), decoded);
    pendingBytes_.clear();
    for (QChar c : decoded) appendChar(c);
  }

  void unicode(int value) {
    char16_t c = static_cast<char16_t>(value < 0 ? value + 65536 : value);
    if (st().dest == Dest::FontTable && fontOpen_) {
      decodeFontBytes();
      fontName_ += QChar(c);
      return;
    }
    if (st().dest != Dest::Text) return;
    decodePending();
    if (codePage() == kSymbolCodePage) c = symbolFromPrivateUse(c);
    appendChar(QChar(c));
  }

  void character(char16_t c) {
    if (st().dest != Dest::Text) return;
    decodePending();
    appendChar(QChar(c));
  }

  // Control characters other than tab have no place in the text; CR, LF and the
  // paragraph separator end a paragraph as \par does.
  void appendChar(QChar c) {
    const char16_t u = c.unicode();
    if (u == '\r' || u == '\n' || u == QChar::ParagraphSeparator) {
      paragraph();
      return;
    }
    if (u < 0x20 && u != '\t') return;
    pendingText_ += c;
  }

  // Puts the text read so far into the document with the formatting it was read with.
  void flush() {
    decodePending();
    if (pendingText_.isEmpty()) return;
    // Surrogates must come in pairs; a lone one becomes U+FFFD.
    for (qsizetype i = 0; i < pendingText_.size(); ++i) {
      QChar c = pendingText_[i];
      if (c.isHighSurrogate() && i + 1 < pendingText_.size() && pendingText_[i + 1].isLowSurrogate()) {
        ++i;
      } else if (c.isSurrogate()) {
        pendingText_[i] = QChar(QChar::ReplacementCharacter);
      }
    }
    materializeBreaks();
    cursor_.insertText(pendingText_, charFormat());
    pendingText_.clear();
    afterCell_ = false;
  }

  void paragraph() {
    if (st().dest != Dest::Text) return;
    flush();
    materializeBreaks();
    cursor_.setBlockFormat(blockFormat());
    pendingBreaks_ = 1;
    afterCell_ = false;
  }

  // The last \par is the document's final paragraph mark: a paragraph break is made only
  // when something follows it.
  void materializeBreaks() {
    if (pendingBreaks_ == 0) return;
    cursor_.insertBlock();
    pendingBreaks_ = 0;
  }

  QTextCharFormat charFormat() {
    const CharState& ch = st().chr;
    if (formatValid_ && ch == formatState_) return format_;
    QTextCharFormat f;
    auto font = fonts_.find(ch.font);
    // Text in a font without a name, or in none, is shown in the document's default font,
    // and is that font's text from now on.
    const bool named = font != fonts_.end() && !font->second.name.isEmpty();
    f.setFontFamilies(QStringList{named ? font->second.name : defaultFontName(doc_)});
    if (font != fonts_.end()) {
      int charset = font->second.charset;
      if (charset < 0 || codePageOfCharset(charset) == 0) charset = charsetOfCodePage(ansiCodePage_);
      f.setProperty(kCharset, charset);
    }
    f.setFontPointSize(ch.halfPoints / 2.0);
    f.setFontWeight(ch.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(ch.italic);
    setUnderline(f, ch.underline);
    f.setFontStrikeOut(ch.strike);
    f.setVerticalAlignment(ch.vertical == 1   ? QTextCharFormat::AlignSuperScript
                           : ch.vertical == 2 ? QTextCharFormat::AlignSubScript
                                              : QTextCharFormat::AlignNormal);
    if (ch.offset != 0) f.setProperty(kOffset, ch.offset);
    QColor fg = colourAt(ch.foreground);
    if (fg.isValid()) f.setForeground(fg);
    QColor bg = colourAt(ch.background);
    if (bg.isValid()) f.setBackground(bg);
    formatState_ = ch;
    format_ = f;
    formatValid_ = true;
    return f;
  }

  QColor colourAt(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= colours_.size()) return {};
    return colours_[static_cast<size_t>(index)];
  }

  QTextBlockFormat blockFormat() const {
    const ParaState& pa = states_.back().para;
    QTextBlockFormat b;
    static const Qt::Alignment aligns[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
    b.setAlignment(aligns[pa.align]);
    b.setLeftMargin(pa.left / 15.0);
    b.setRightMargin(pa.right / 15.0);
    b.setTextIndent(pa.first / 15.0);
    b.setTopMargin(pa.before / 15.0);
    b.setBottomMargin(pa.after / 15.0);
    if (pa.lineSpacing != 0) {
      b.setProperty(kLineSpacing, pa.lineSpacing);
      b.setProperty(kLineMultiple, pa.lineMultiple);
      if (pa.lineMultiple != 0 && pa.lineSpacing > 0)
        b.setLineHeight(pa.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
      else if (pa.lineSpacing > 0)
        b.setLineHeight(pa.lineSpacing / 15.0, QTextBlockFormat::MinimumHeight);
      else
        b.setLineHeight(-pa.lineSpacing / 15.0, QTextBlockFormat::FixedHeight);
    }
    if (!pa.tabs.empty()) {
      QList<QTextOption::Tab> tabs;
      for (const TabStop& t : pa.tabs) tabs.append(QTextOption::Tab(t.position / 15.0, t.type));
      b.setTabPositions(tabs);
    }
    return b;
  }

  // ---- tables of the header

  int fontCodePage() const {
    const int cp = font_.charset >= 0 ? codePageOfCharset(font_.charset) : 0;
    return cp != 0 ? cp : ansiCodePage_;
  }

  void decodeFontBytes() {
    decoder_.decode(fontCodePage(), fontBytes_.constData(), static_cast<size_t>(fontBytes_.size()), fontName_);
    fontBytes_.clear();
  }

  void commitFont() {
    if (!fontOpen_) return;
    fontOpen_ = false;
    decodeFontBytes();
    QString name;
    for (QChar c : std::as_const(fontName_))
      if (c.unicode() >= 0x20) name += c;
    fontName_.clear();
    font_.name = name.trimmed();
    // Qt compares formats with different font families one by one, so that thousands of
    // fonts would make reading crawl; no real document comes near the limit.
    if (fonts_.size() < kMaxFonts || fonts_.count(fontNumber_)) fonts_.insert_or_assign(fontNumber_, font_);
    formatValid_ = false;
  }

  // ---- pictures and objects

  // \pict, \object and \*\shppict: the outermost such group is kept whole as one
  // object of the document; the first picture inside it is what is shown.
  void startCapture(Dest dest) {
    State& s = st();
    // Only a group that these words open can be kept whole; elsewhere they are ignored.
    if (!wordOpensGroup_ || states_.size() < 2) return;
    if (s.dest == Dest::Text) {
      s.ownsCapture = true;
      capture_ = Capture{};
    } else if (s.dest != Dest::Container && s.dest != Dest::Picture) {
      return;  // a picture inside a skipped destination stays skipped
    }
    if (dest == Dest::Picture && ++capture_.pictures > 1) {
      s.dest = Dest::Skip;
      return;
    }
    s.dest = dest;
  }

  void pictureByte(char b) {
    if (!capture_.image) return;
    int v = hexValue(b);
    if (v < 0) return;
    if (capture_.nibble < 0) {
      capture_.nibble = v;
    } else {
      capture_.data += static_cast<char>(capture_.nibble * 16 + v);
      capture_.nibble = -1;
    }
  }

  void binary(int length) {
    const qsizetype available = in_.size() - pos_;
    const qsizetype n = std::clamp<qsizetype>(length, 0, available);
    if (st().dest == Dest::Picture && capture_.image) capture_.data.append(in_.constData() + pos_, n);
    pos_ += n;
  }

  // One object character for the whole group. Its bytes, from '{' to '}' inclusive, are
  // written back unchanged; a PNG or JPEG inside is what the box shows.
  void insertCapture(const State& group) {
    QTextImageFormat image;
    image.merge(charFormat());
    image.setProperty(kRawGroup, in_.mid(group.groupStart, pos_ - group.groupStart + 1));
    const QString name = QStringLiteral("rtf-picture:%1").arg(++pictureCount_);
    image.setName(name);
    if (capture_.goalW > 0 && capture_.goalH > 0) {
      image.setWidth(measure(capture_.goalW) * (std::clamp(capture_.scaleX, 1, 1000) / 100.0) / 15.0);
      image.setHeight(measure(capture_.goalH) * (std::clamp(capture_.scaleY, 1, 1000) / 100.0) / 15.0);
    }
    if (capture_.image && !capture_.data.isEmpty())
      doc_.addResource(QTextDocument::ImageResource, QUrl(name), capture_.data);
    materializeBreaks();
    cursor_.insertText(QString(QChar::ObjectReplacementCharacter), image);
    afterCell_ = false;
    capture_ = Capture{};
  }

  // Lengths in twips, kept within what a page can hold so that no arithmetic on them
  // overflows (a page is at most 22 inches, 31680 twips).
  static int measure(int twips) { return std::clamp(twips, -31680 * 4, 31680 * 4); }

  static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  const QByteArray& in_;
  QTextDocument& doc_;
  QTextCursor cursor_;
  qsizetype pos_ = 0;
  std::vector<State> states_;
  int overflow_ = 0;
  bool starred_ = false;
  bool rtfGroup_ = false;  // the outermost group is an \rtf document
  bool done_ = false;
  bool groupOpened_ = false;  // nothing but '{' read since the group opened
  bool wordOpensGroup_ = false;  // the word being handled is the first of its group
  int ucSkip_ = 0;
  int ansiCodePage_ = 1252;
  int defaultFont_ = 0;

  std::unordered_map<int, FontEntry> fonts_;
  FontEntry font_;
  int fontNumber_ = 0;
  bool fontOpen_ = false;
  QByteArray fontBytes_;  // the name's bytes not yet decoded
  QString fontName_;

  struct {
    int r = 0, g = 0, b = 0;
    bool seen = false;
  } colour_;
  std::vector<QColor> colours_;

  Decoder decoder_;
  QByteArray pendingBytes_;
  int pendingCodePage_ = 1252;
  QString pendingText_;
  int pendingBreaks_ = 0;
  bool afterCell_ = false;

  CharState formatState_;
  QTextCharFormat format_;
  bool formatValid_ = false;

  Capture capture_;
  int pictureCount_ = 0;
};

}  // namespace

void readRtf(const QByteArray& rtf, QTextDocument& document) {
  const bool undo = document.isUndoRedoEnabled();
  document.setUndoRedoEnabled(false);
  document.clear();
  Reader(rtf, document).run();
  document.setUndoRedoEnabled(undo);
}

}  // namespace ui::rtf
