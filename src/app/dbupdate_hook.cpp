#include "app/dbupdate_hook.h"

#include "app/formcontrol.h"
#include "dbupdate/dbupdate.h"

#include <QApplication>

namespace zeph::app {

namespace {

// The result memo as the database update sees it.
class MemoLines : public dbu::Memo {
public:
    explicit MemoLines(const std::function<void(const std::string&)>& sink) : sink_(sink) {}
    void append(const std::string& line) override { sink_(line); }

private:
    const std::function<void(const std::string&)>& sink_;
};

}  // namespace

void InstallDatabaseUpdate(TFormControl& form)
{
    form.hooks().runDatabaseUpdate = [&form](const std::function<void(const std::string&)>& memo, const std::string& folder) {
        MemoLines lines(memo);
        dbu::UpdateEnvironment env;
        env.prompter = &form.prompter();
        env.pump = [] { QApplication::processEvents(); };
        dbu::UpdateDatabases(&lines, folder, env);
    };
}

}  // namespace zeph::app
