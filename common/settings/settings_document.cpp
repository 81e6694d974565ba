#include "common/settings/settings_document.h"

#include <pugixml.hpp>

#include <cstdio>
#include <sstream>

#include "common/db/rules_model.h"
#include "common/settings/settings_fields.h"
#include "platform/text.h"

namespace zen {
namespace {

// ---- writing

std::string DayName(int day) {
    return "D" + std::to_string(day);
}

std::string ByteName(int index) {
    char name[16];
    std::snprintf(name, sizeof name, "B%02d", index);
    return name;
}

template <typename Record>
void WriteAttributes(pugi::xml_node node, const Record& record) {
    using Kind = typename SettingsAttribute<Record>::Kind;
    for (const SettingsAttribute<Record>& attribute : SettingsAttributesOf<Record>()) {
        pugi::xml_attribute xml = node.append_attribute(attribute.name);
        switch (attribute.kind) {
            case Kind::Text:
                xml.set_value(Utf16ToUtf8(attribute.getText(record)).c_str());
                break;
            case Kind::Unsigned16:
                xml.set_value(std::to_string(attribute.get(record)).c_str());
                break;
            case Kind::Signed:
                xml.set_value(SignedText(attribute.get(record)).c_str());
                break;
        }
    }
}

void WriteTimetable(pugi::xml_node parent, const char* name, const Timetable& timetable) {
    pugi::xml_node node = parent.append_child("Timetable");
    node.append_attribute("name").set_value(name);
    for (int day = 0; day < Timetable::kDays; ++day) {
        pugi::xml_node row = node.append_child(DayName(day).c_str());
        for (int index = 0; index < Timetable::kRowBytes; ++index) {
            row.append_attribute(ByteName(index).c_str())
                .set_value(SignedText(timetable.rows[day][index]).c_str());
        }
    }
}

void WriteLimits(pugi::xml_node parent, const char* name, const uint32_t (&minutes)[7]) {
    pugi::xml_node node = parent.append_child("TimeLimitsTable");
    node.append_attribute("name").set_value(name);
    for (int day = 0; day < 7; ++day) {
        node.append_attribute(DayName(day).c_str()).set_value(SignedText(minutes[day]).c_str());
    }
}

// ---- reading: every reader returns false for a value its attribute cannot hold

template <typename Record>
bool ReadNumber(const SettingsAttribute<Record>& attribute, std::string_view text,
                uint32_t& value) {
    const std::optional<uint32_t> parsed =
        attribute.kind == SettingsAttribute<Record>::Kind::Unsigned16
            ? ParseUnsigned(text, UINT16_MAX)
            : ParseSettingsNumber(text);
    if (parsed) {
        value = *parsed;
    }
    return parsed.has_value();
}

// Applies the attributes present to `record`; absent ones leave their field alone.
template <typename Record>
bool ReadAttributes(pugi::xml_node node, Record& record) {
    for (const SettingsAttribute<Record>& attribute : SettingsAttributesOf<Record>()) {
        const pugi::xml_attribute xml = node.attribute(attribute.name);
        if (!xml) {
            continue;
        }
        if (attribute.kind == SettingsAttribute<Record>::Kind::Text) {
            attribute.setText(record, Utf8ToUtf16(xml.value()));
            continue;
        }
        uint32_t value = 0;
        if (!ReadNumber(attribute, xml.value(), value)) {
            return false;
        }
        if (value <= attribute.largestTaken) {
            attribute.set(record, value);
        }
    }
    return true;
}

pugi::xml_node NamedChild(pugi::xml_node parent, const char* element, const char* name) {
    return parent.find_child_by_attribute(element, "name", name);
}

// A missing table or day keeps what the record has.
bool ReadTimetable(pugi::xml_node parent, const char* name, Timetable& timetable) {
    const pugi::xml_node node = NamedChild(parent, "Timetable", name);
    for (int day = 0; node && day < Timetable::kDays; ++day) {
        const pugi::xml_node row = node.child(DayName(day).c_str());
        for (int index = 0; row && index < Timetable::kRowBytes; ++index) {
            const pugi::xml_attribute xml = row.attribute(ByteName(index).c_str());
            if (!xml) {
                continue;
            }
            const std::optional<uint32_t> value = ParseUnsigned(xml.value(), UINT8_MAX);
            if (!value) {
                return false;
            }
            timetable.rows[day][index] = static_cast<uint8_t>(*value);
        }
    }
    return true;
}

bool ReadLimits(pugi::xml_node parent, const char* name, uint32_t (&minutes)[7]) {
    const pugi::xml_node node = NamedChild(parent, "TimeLimitsTable", name);
    for (int day = 0; node && day < 7; ++day) {
        const pugi::xml_attribute xml = node.attribute(DayName(day).c_str());
        if (!xml) {
            continue;
        }
        const std::optional<uint32_t> value = ParseSettingsNumber(xml.value());
        if (!value) {
            return false;
        }
        minutes[day] = *value;
    }
    return true;
}

bool ReadUser(pugi::xml_node node, FastUsersRecord& record) {
    record = RulesDefault();
    if (!ReadAttributes(node, record)) {
        return false;
    }
    for (const NamedSlot& table : UserTimetableNames()) {
        if (!ReadTimetable(node, table.name, record.timetables[table.slot])) {
            return false;
        }
    }
    for (const NamedSlot& table : UserLimitNames()) {
        if (!ReadLimits(node, table.name, record.limits[table.slot].minutes)) {
            return false;
        }
    }
    // Records are found by name: a nameless one could never be reached again.
    return record.name[0] != u'\0';
}

bool ReadCustom(pugi::xml_node node, FastCustomRecord& record) {
    record = FastCustomRecord{};
    return ReadAttributes(node, record) && ReadTimetable(node, "Timetable", record.timetable) &&
           ReadLimits(node, "TimeLimitsTable", record.TimeLimitsTable);
}

bool ReadOptions(pugi::xml_node node, std::vector<ImportedOption>& options) {
    const auto attributes = SettingsAttributesOf<Options>();
    for (std::size_t field = 0; field < attributes.size(); ++field) {
        // A text goes through a scratch record, which cuts it to its field's width.
        Options scratch{};
        const auto& attribute = attributes[field];
        const pugi::xml_attribute xml = node.attribute(attribute.name);
        if (!xml) {
            continue;
        }
        if (attribute.kind == SettingsAttribute<Options>::Kind::Text) {
            attribute.setText(scratch, Utf8ToUtf16(xml.value()));
            options.push_back({field, 0, std::u16string(attribute.getText(scratch))});
            continue;
        }
        uint32_t value = 0;
        if (!ReadNumber(attribute, xml.value(), value)) {
            return false;
        }
        if (value <= attribute.largestTaken) {
            options.push_back({field, value, {}});
        }
    }
    return true;
}

// Every element of `path` (names from `doc` down), in document order.
template <typename Visit>
bool EachElement(pugi::xml_node doc, const char* section, const char* element, Visit&& visit) {
    for (pugi::xml_node list = doc.child(section); list; list = list.next_sibling(section)) {
        for (pugi::xml_node node = list.child(element); node; node = node.next_sibling(element)) {
            if (!visit(node)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::string WriteSettingsDocument(const SettingsSnapshot& snapshot) {
    pugi::xml_document document;
    pugi::xml_node doc = document.append_child("doc");
    doc.append_attribute("ver").set_value(SignedText(kSettingsVersion).c_str());
    WriteAttributes(doc.append_child("Options"), snapshot.options);
    pugi::xml_node users = doc.append_child("Users");
    for (const FastUsersRecord& record : snapshot.users) {
        pugi::xml_node user = users.append_child("User");
        WriteAttributes(user, record);
        for (const NamedSlot& table : UserTimetableNames()) {
            WriteTimetable(user, table.name, record.timetables[table.slot]);
        }
        for (const NamedSlot& table : UserLimitNames()) {
            WriteLimits(user, table.name, record.limits[table.slot].minutes);
        }
    }
    pugi::xml_node customs = doc.append_child("Customs");
    for (const FastCustomRecord& record : snapshot.customs) {
        pugi::xml_node custom = customs.append_child("Custom");
        WriteAttributes(custom, record);
        WriteTimetable(custom, "Timetable", record.timetable);
        WriteLimits(custom, "TimeLimitsTable", record.TimeLimitsTable);
    }
    std::ostringstream out;
    document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

void ImportedSettings::ApplyOptions(Options& target) const {
    const auto attributes = SettingsAttributesOf<Options>();
    for (const ImportedOption& option : options) {
        const auto& attribute = attributes[option.field];
        if (attribute.kind == SettingsAttribute<Options>::Kind::Text) {
            attribute.setText(target, option.text);
        } else {
            attribute.set(target, option.number);
        }
    }
}

SettingsReadStatus ReadSettingsDocument(std::string_view bytes, ImportedSettings& settings) {
    settings = {};
    pugi::xml_document document;
    if (!document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default,
                              pugi::encoding_auto)) {
        return SettingsReadStatus::Unreadable;
    }
    const pugi::xml_node doc = document.child("doc");
    if (!doc) {
        return SettingsReadStatus::NoDocument;
    }
    const pugi::xml_attribute version = doc.attribute("ver");
    if (!version || ParseSettingsNumber(version.value()) != uint32_t{kSettingsVersion}) {
        return SettingsReadStatus::BadVersion;
    }
    const pugi::xml_node options = doc.child("Options");
    if (!options || !doc.child("Users") || !doc.child("Customs")) {
        return SettingsReadStatus::MissingSection;
    }
    ImportedSettings read;
    const bool whole = ReadOptions(options, read.options) &&
                       EachElement(doc, "Users", "User",
                                   [&](pugi::xml_node node) {
                                       return ReadUser(node, read.users.emplace_back());
                                   }) &&
                       EachElement(doc, "Customs", "Custom", [&](pugi::xml_node node) {
                           return ReadCustom(node, read.customs.emplace_back());
                       });
    if (!whole) {
        return SettingsReadStatus::Unreadable;
    }
    settings = std::move(read);
    return SettingsReadStatus::Done;
}

}  // namespace zen
