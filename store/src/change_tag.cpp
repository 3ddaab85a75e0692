#include "change_tag.h"

#include "db_error.h"
#include "extension.h"
#include "platform.h"
#include "session.h"

namespace store {

struct ChangeTag::State {
  Session* session;
  TaggedChange change;
};

ChangeTag::ChangeTag(Connection& conn, std::string operation)
    : conn_(conn),
      state_(new State{&conn.session(), {std::move(operation), platform::loginName(), platform::machineName()}}) {
  try {
    state_->session->pushTag(state_->change);
  } catch (...) {
    delete state_;
    throw;
  }
}

void ChangeTag::commit() {
  if (conn_.isOpen() && &conn_.session() == state_->session) state_->session->commitTag(state_->change);
}

ChangeTag::~ChangeTag() {
  // A connection closed meanwhile took its transaction, and what the extensions wrote in it, with it.
  if (conn_.isOpen() && &conn_.session() == state_->session) {
    try {
      state_->session->popTag(state_->change);
    } catch (const DbError&) {
      // The transaction fails at its commit instead (or a lost connection took it with it); a
      // destructor must not throw.
    }
  }
  delete state_;
}

}  // namespace store
