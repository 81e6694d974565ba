#pragma once

#include <cstdint>

#include "panel/pages/page_frame.h"

class QTreeWidget;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class PageCatalog;

// The program entries of one kind: the Internet section's "Exceptions List" (kind 1) and the
// Programs section's "Programs List" (kind 2). Rows show the path with the program's icon,
// the group and the checksum stored with the entry, in table order.
class CDlgProgramsList : public PageFrame {
    Q_OBJECT
public:
    static constexpr uint16_t kTrusted = 1;
    static constexpr uint16_t kControlled = 2;

    CDlgProgramsList(CDBManager& db, uint16_t mode, QWidget* parent);
    void Refresh() override;

    // What "Add new" does once its dialog is accepted: the file's checksum now, an equal entry
    // replaced. False when the edit was refused (a message has said why).
    bool Add(const QString& group, const QString& path);
    // Removes the selected row's entry; nothing without a selection.
    void DeleteSelected();
    void AddNew();

    QTreeWidget* list() const { return list_; }

private:
    CDBManager& db_;
    uint16_t mode_;
    QTreeWidget* list_;
};

void RegisterProgramsListPages(PageCatalog& catalog);

}  // namespace zen::panel
