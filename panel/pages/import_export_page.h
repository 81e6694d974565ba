#pragma once

#include "panel/pages/page_frame.h"

namespace zen {
class CDBManager;
}

namespace zen::panel {

class PageCatalog;

// "Export & Import" in the Settings section: saves the rules and the shareable options to a
// settings file and loads them back (the file `zenctl export` writes and `zenctl import`
// reads). An import changes nothing unless the whole file is sound.
class CDlgImportExport : public PageFrame {
    Q_OBJECT
public:
    CDlgImportExport(CDBManager& db, QWidget* parent);

    // The two operations on a chosen file, each telling the administrator when it failed.
    bool ExportTo(const QString& file);
    bool ImportFrom(const QString& file);
    void Export();
    void Import();

private:
    CDBManager& db_;
};

void RegisterImportExportPage(PageCatalog& catalog);

}  // namespace zen::panel
