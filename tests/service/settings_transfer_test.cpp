// The settings file: the exact document an export writes, and imports that change everything
// the file holds or, when anything in it is unsound, nothing at all.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cstring>
#include <functional>
#include <sstream>

#include "common/db/db_manager.h"
#include "common/db/options_file.h"
#include "common/db/rules_editor.h"
#include "common/db/rules_model.h"
#include "common/settings/settings_transfer.h"
#include "platform/text.h"
#include "service/zensvc_process.h"
#include "support/temp_root.h"

namespace zen::test {
namespace {

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

std::vector<std::string> AttributeNames(pugi::xml_node node) {
    std::vector<std::string> names;
    for (const pugi::xml_attribute attribute : node.attributes()) {
        names.push_back(attribute.name());
    }
    return names;
}

std::vector<std::string> ChildNames(pugi::xml_node node) {
    std::vector<std::string> names;
    for (const pugi::xml_node child : node.children()) {
        names.push_back(std::string(child.name()) + ":" + child.attribute("name").value());
    }
    return names;
}

TEST(SettingsDocumentTest, WritesTheExactDocument) {
    SettingsSnapshot snapshot;
    snapshot.options = OptionsDefault();
    SetFieldText(snapshot.options.password, u"never-written");
    SetFieldText(snapshot.options.serverPassword, u"never-written-either");
    FastUsersRecord kids = NamedDefault(u"Kids");
    kids.UserID = 0x80000000;
    kids.limits[kInternetSlot].minutes[1] = 90;
    snapshot.users.push_back(kids);
    FastCustomRecord custom{};
    custom.Mode = 65535;
    SetFieldText(custom.UserID, u"Kids");
    custom.dwVal = 0xFFFFFFFF;
    SetFieldText(custom.szVal, u"/usr/bin/game <&\">");
    snapshot.customs.push_back(custom);

    const std::string text = WriteSettingsDocument(snapshot);
    EXPECT_TRUE(text.starts_with("<doc ver=\"2\"><Options WarningsSize=\"")) << text.substr(0, 80);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find("never-written"), std::string::npos);

    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(text.c_str()));
    const pugi::xml_node doc = document.child("doc");
    EXPECT_EQ(ChildNames(doc), (std::vector<std::string>{"Options:", "Users:", "Customs:"}));
    EXPECT_EQ(AttributeNames(doc.child("Options")),
              (std::vector<std::string>{"WarningsSize", "ActivitySize", "SMTPServer", "Port",
                                        "SMTPTo", "SMTPFrom", "EMailName", "SendNotificationEMail",
                                        "SendDailyReport", "EnableServerAuthentication",
                                        "TimeFormat", "SelectionType"}));
    const pugi::xml_node user = doc.child("Users").child("User");
    EXPECT_EQ(AttributeNames(user), (std::vector<std::string>{"UserID",
                                                              "ID",
                                                              "ParentID",
                                                              "Disable",
                                                              "CDROM",
                                                              "Removable",
                                                              "Power",
                                                              "Internet",
                                                              "Program",
                                                              "ShutDown",
                                                              "EnableWarning",
                                                              "WarnType",
                                                              "ShowCustomWarning",
                                                              "CustomWarning",
                                                              "TimeLimitsCDROMEnable",
                                                              "TimeLimitsRemovableEnable",
                                                              "TimeLimitsPowerEnable",
                                                              "TimeLimitsInternetEnable",
                                                              "TimeLimitsProgramEnable",
                                                              "TrustedAppList",
                                                              "PermittedAppList",
                                                              "BlockedAppList"}));
    EXPECT_EQ(ChildNames(user),
              (std::vector<std::string>{
                  "Timetable:Timetable", "Timetable:CDROM", "Timetable:Removable",
                  "Timetable:Internet", "Timetable:Power", "Timetable:Program",
                  "TimeLimitsTable:CDROM", "TimeLimitsTable:Removable", "TimeLimitsTable:Internet",
                  "TimeLimitsTable:Power", "TimeLimitsTable:Program"}));
    EXPECT_STREQ(user.attribute("UserID").value(), "Kids");
    EXPECT_STREQ(user.attribute("ID").value(), "-2147483648");
    const pugi::xml_node internet =
        user.find_child_by_attribute("TimeLimitsTable", "name", "Internet");
    EXPECT_EQ(AttributeNames(internet),
              (std::vector<std::string>{"name", "D0", "D1", "D2", "D3", "D4", "D5", "D6"}));
    EXPECT_STREQ(internet.attribute("D1").value(), "90");
    const pugi::xml_node days = user.child("Timetable");
    EXPECT_EQ(ChildNames(days).size(), 7u);
    EXPECT_EQ(AttributeNames(days.child("D6")),
              (std::vector<std::string>{"B00", "B01", "B02", "B03", "B04", "B05", "B06", "B07",
                                        "B08", "B09", "B10", "B11", "B12"}));
    EXPECT_STREQ(days.child("D0").attribute("B00").value(), "255");

    const pugi::xml_node entry = doc.child("Customs").child("Custom");
    EXPECT_EQ(AttributeNames(entry),
              (std::vector<std::string>{"Mode", "UserID", "dwVal", "szVal", "TimetableState",
                                        "TimeLimitsEnable"}));
    EXPECT_EQ(ChildNames(entry),
              (std::vector<std::string>{"Timetable:Timetable", "TimeLimitsTable:TimeLimitsTable"}));
    EXPECT_STREQ(entry.attribute("Mode").value(), "65535");
    EXPECT_STREQ(entry.attribute("dwVal").value(), "-1");
    EXPECT_STREQ(entry.attribute("szVal").value(), "/usr/bin/game <&\">");
}

// A database with a group, a user, a Monday Internet limit and a program entry whose CheckSum
// has its top bit set.
class SettingsImportTest : public RootedTest {
protected:
    static constexpr uint32_t kHighChecksum = 0x80000001;

    void SetUp() override {
        CreateDatabase();
        db.SetCurrentUserName(u"");
        ASSERT_EQ(db.Init(false), 1);
        ASSERT_EQ(AddGroup(db, u"Kids"), EditStatus::Done);
        ASSERT_EQ(AddUser(db, u"alice", u"Kids"), EditStatus::Done);
        ASSERT_EQ(SetLimitMinutes(db, u"Kids", Category::Internet, 0x7F, 45), EditStatus::Done);
        ASSERT_EQ(AddProgramEntry(db, 2, u"Kids", u"/usr/bin/game", kHighChecksum),
                  EditStatus::Done);
    }

    std::string Exported() { return WriteSettingsDocument(TakeSettingsSnapshot(db)); }

    // The stored files an import may change.
    std::vector<std::string> StoredFiles() {
        return {ReadAll(OptionsFilePath()), ReadAll(db.Users().FilePath()),
                ReadAll(db.Customs().FilePath())};
    }

    // The exported document with an edit of its tree.
    std::string Edited(const std::function<void(pugi::xml_node doc)>& edit) {
        pugi::xml_document document;
        EXPECT_TRUE(document.load_string(Exported().c_str()));
        edit(document.child("doc"));
        std::ostringstream out;
        document.save(out, "", pugi::format_raw | pugi::format_no_declaration);
        return out.str();
    }

    FastUsersRecord User(std::u16string_view name) {
        return FindUser(db.Users(), name).value_or(FastUsersRecord{});
    }

    std::size_t CountOf(auto& table) {
        return table.WithRecords([](const auto& records) { return records.size(); });
    }

    CDBManager db;
};

TEST_F(SettingsImportTest, ExportThenImportIntoAFreshDatabaseGivesIdenticalTables) {
    const std::string document = Exported();
    EXPECT_NE(document.find("dwVal=\"-2147483647\""), std::string::npos);
    const std::vector<std::string> before = StoredFiles();
    db.Term();

    CDBManager().ResetFiles();
    CreateDatabase();
    CDBManager fresh;
    fresh.SetCurrentUserName(u"");
    ASSERT_EQ(fresh.Init(false), 1);
    ASSERT_NE(ReadAll(fresh.Users().FilePath()), before[1]);
    ASSERT_EQ(ImportSettingsDocument(fresh, document), ImportStatus::Done);
    EXPECT_EQ(ReadAll(fresh.Users().FilePath()), before[1]);
    EXPECT_EQ(ReadAll(fresh.Customs().FilePath()), before[2]);
    EXPECT_EQ(WriteSettingsDocument(TakeSettingsSnapshot(fresh)), document);
}

// Each file is unsound somewhere; none of them may change anything, not even the options
// that come first in the file.
TEST_F(SettingsImportTest, AnUnsoundFileChangesNothing) {
    const auto dom = [this](std::function<void(pugi::xml_node)> edit) {
        return Edited([&](pugi::xml_node doc) {
            doc.child("Options").attribute("SMTPServer").set_value("changed.example.org");
            doc.child("Users").child("User").attribute("Disable").set_value("1");
            edit(doc);
        });
    };
    const std::string whole = dom([](pugi::xml_node) {});
    const struct {
        const char* what;
        std::string document;
        ImportStatus expected;
    } cases[] = {
        {"version 3", dom([](pugi::xml_node doc) { doc.attribute("ver").set_value("3"); }),
         ImportStatus::BadVersion},
        {"no version", dom([](pugi::xml_node doc) { doc.remove_attribute("ver"); }),
         ImportStatus::BadVersion},
        {"no Customs", dom([](pugi::xml_node doc) { doc.remove_child("Customs"); }),
         ImportStatus::MissingSection},
        {"no doc", "<other ver=\"2\"/>", ImportStatus::NoDocument},
        {"broken half-way", whole.substr(0, whole.size() / 2), ImportStatus::Unreadable},
        {"not a number in the last entry", dom([](pugi::xml_node doc) {
             doc.child("Customs").last_child().attribute("dwVal").set_value("12abc");
         }),
         ImportStatus::Unreadable},
        {"a timetable byte of 256", dom([](pugi::xml_node doc) {
             doc.child("Users")
                 .last_child()
                 .child("Timetable")
                 .child("D3")
                 .attribute("B05")
                 .set_value("256");
         }),
         ImportStatus::Unreadable},
        {"a number beyond 32 bits", dom([](pugi::xml_node doc) {
             doc.child("Users").last_child().attribute("WarnType").set_value("4294967296");
         }),
         ImportStatus::Unreadable},
        {"a nameless user", dom([](pugi::xml_node doc) {
             doc.child("Users").last_child().remove_attribute("UserID");
         }),
         ImportStatus::Unreadable},
        {"Mode beyond 16 bits", dom([](pugi::xml_node doc) {
             doc.child("Customs").first_child().attribute("Mode").set_value("65536");
         }),
         ImportStatus::Unreadable},
    };
    const std::vector<std::string> before = StoredFiles();
    for (const auto& unsound : cases) {
        EXPECT_EQ(ImportSettingsDocument(db, unsound.document), unsound.expected) << unsound.what;
        EXPECT_EQ(StoredFiles(), before) << unsound.what;
    }
    EXPECT_EQ(ImportSettings(db, root / "missing.xml"), ImportStatus::CannotOpen);
    EXPECT_EQ(ImportStatusText(ImportStatus::BadVersion), "Invalid file version");
    EXPECT_EQ(ImportStatusText(ImportStatus::Unreadable),
              "Error: occured while loading file. Reason: bad file format or file is corrupted ");
}

TEST_F(SettingsImportTest, ImportsWhatTheFileHoldsAndKeepsTheRest) {
    const std::string document = Edited([](pugi::xml_node doc) {
        pugi::xml_node options = doc.child("Options");
        options.remove_attribute("SMTPFrom");
        options.attribute("SMTPServer").set_value(std::string(60, 's').c_str());
        options.attribute("TimeFormat").set_value("5");
        options.attribute("SelectionType").set_value("2");
        pugi::xml_node alice =
            doc.child("Users").find_child_by_attribute("User", "UserID", "alice");
        alice.find_child_by_attribute("TimeLimitsTable", "name", "Internet")
            .attribute("D1")
            .set_value("90");
        // A missing table keeps the default one.
        alice.remove_child(alice.find_child_by_attribute("Timetable", "name", "CDROM"));
    });
    ASSERT_EQ(EditOptions(db,
                          [](Options& options) {
                              SetFieldText(options.SMTPFrom, u"parent@example.org");
                              options.TimeFormat = 1;
                              return EditStatus::Done;
                          }),
              EditStatus::Done);
    ASSERT_EQ(AddUser(db, u"bob", u"Kids"), EditStatus::Done);
    const FastUsersRecord bob = User(u"bob");
    ASSERT_EQ(RemoveProgramEntries(db, 2, u"Kids", u"/usr/bin/game", std::nullopt),
              EditStatus::Done);
    const std::size_t users = CountOf(db.Users());

    // Twice: the second import finds every record in place and adds nothing.
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(ImportSettingsDocument(db, document), ImportStatus::Done);
        EXPECT_EQ(CountOf(db.Users()), users);
    }
    const Options options = db.OptionsCopy();
    EXPECT_EQ(FieldText(options.SMTPFrom), u"parent@example.org");
    EXPECT_EQ(FieldText(options.SMTPServer), std::u16string(39, u's'));
    EXPECT_EQ(options.TimeFormat, 1u);
    EXPECT_EQ(options.SelectionType, 2u);
    const FastUsersRecord alice = User(u"alice");
    EXPECT_EQ(alice.limits[kInternetSlot].minutes[1], 90u);
    EXPECT_EQ(User(u"Kids").limits[kInternetSlot].minutes[1], 45u);
    EXPECT_TRUE(SameBytes(alice.timetables[kCdromSlot], RulesDefault().timetables[kCdromSlot]));
    EXPECT_TRUE(SameBytes(User(u"bob"), bob));
    FastCustomRecord key{};
    key.Mode = 2;
    SetFieldText(key.UserID, u"Kids");
    SetFieldText(key.szVal, u"/usr/bin/game");
    key.dwVal = kHighChecksum;
    EXPECT_EQ(db.Customs().Find(key), 1);
    EXPECT_EQ(key.dwVal, kHighChecksum);
}

TEST_F(SettingsImportTest, ReadsAFileWithADeclarationInUtf16) {
    const std::u16string text =
        u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n" +
        Utf8ToUtf16(Edited([](pugi::xml_node doc) {
            doc.child("Options").attribute("EMailName").set_value("Zentimo \u00e9t\u00e9");
        }));
    const std::string bytes(reinterpret_cast<const char*>(text.data()),
                            text.size() * sizeof(char16_t));
    ASSERT_EQ(ImportSettingsDocument(db, bytes), ImportStatus::Done);
    EXPECT_EQ(FieldText(db.OptionsCopy().EMailName), u"Zentimo \u00e9t\u00e9");
}

}  // namespace
}  // namespace zen::test
