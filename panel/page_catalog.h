#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QWidget;

namespace zen {
class CDBManager;
}

namespace zen::panel {

class CDlgBase;

// One section of the main window's strip: its caption, its overview page and the pages its
// overview's buttons open, by page class, in the order of their index.
struct Section {
    int captionId;
    QString overview;
    QStringList pages;
};

// The seven sections in strip order.
const std::vector<Section>& Sections();

// Makes the pages by class name. Each page class registers a factory once (RegisterPanelPages);
// the main window asks for every page of every section when it is created.
class PageCatalog {
public:
    using Factory = std::function<CDlgBase*(CDBManager& db, QWidget* parent)>;

    void Register(const QString& pageClass, Factory factory);
    bool Has(const QString& pageClass) const { return factories_.contains(pageClass); }
    // The page, owned by `parent`; nullptr when no factory has that name.
    CDlgBase* Create(const QString& pageClass, CDBManager& db, QWidget* parent) const;

private:
    QHash<QString, Factory> factories_;
};

// Every page the panel has.
PageCatalog PanelPages();

}  // namespace zen::panel
