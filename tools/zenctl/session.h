#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/db/db_manager.h"
#include "common/db/rules_editor.h"
#include "tools/zenctl/invocation.h"
#include "tools/zenctl/output.h"

namespace zen::ctl {

// One run of a command: the command line, the output and the database, opened on first use
// as every other process of the system opens it.
class Session {
public:
    Session(Invocation invocation, Output& output);
    ~Session();

    const Invocation& invocation() const { return invocation_; }
    Output& out() { return output_; }

    // The database for reading. Throws CommandError (kExitNoDatabase) when it cannot be
    // opened.
    CDBManager& Db();
    // The database for a change: opened, then the administrator password is asked for when
    // one is set. Throws on a wrong password before anything is written.
    CDBManager& Admin();

    // Ends an edit: a refusal becomes a CommandError naming `subject`; success is reported.
    void Finish(EditStatus status, std::string_view subject, const std::string& done);

private:
    Invocation invocation_;
    Output& output_;
    std::unique_ptr<CDBManager> db_;
    bool admitted_ = false;
};

// The exit code and message of an edit's refusal.
int ExitCodeOf(EditStatus status);

}  // namespace zen::ctl
