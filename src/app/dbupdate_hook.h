// The update button's database update: UpdateDatabases into the result memo, with the window's
// prompter and the window kept responsive while the downloader runs.
#pragma once

namespace zeph::app {

class TFormControl;

void InstallDatabaseUpdate(TFormControl& form);

}  // namespace zeph::app
