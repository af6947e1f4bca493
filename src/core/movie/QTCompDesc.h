// One component of the movie toolbox's registry, described with texts: its name, its type,
// subtype and manufacturer codes as text, its flags and whether it is thread-safe.
#pragma once

#include "toolbox/components.h"

#include <QString>

#include <cstdint>

/// The text form of a four-character code: its four bytes, most significant first; a byte from
/// 32 to 126 as that character, any other as "$" and two lower-case hexadecimal digits. The code
/// 0 gives the empty text ('apch' gives "apch"; 0x00617070 gives "$00app").
QString OSTypeToNSString(uint32_t code);

class QTCompDesc {
public:
    QTCompDesc() = default;

    /// A record filled from a component of the registry. A component whose information can't be
    /// read (null) is still recorded, with empty texts ("GetComponentInfo() returned error" in
    /// the log).
    static QTCompDesc withComponent(const toolbox::Component *component);

    [[nodiscard]] const QString &name() const { return name_; }
    void setName(const QString &text) { name_ = text; }
    [[nodiscard]] const QString &type() const { return type_; }
    void setType(const QString &text) { type_ = text; }
    [[nodiscard]] const QString &subType() const { return subType_; }
    void setSubType(const QString &text) { subType_ = text; }
    [[nodiscard]] const QString &manufacturer() const { return manufacturer_; }
    void setManufacturer(const QString &text) { manufacturer_ = text; }
    /// "Yes" when the thread-safe flag (0x10000000) is set, else "No".
    [[nodiscard]] const QString &threadsafe() const { return threadsafe_; }
    void setThreadSafe(const QString &text) { threadsafe_ = text; }
    [[nodiscard]] uint32_t flags() const { return flags_; }
    void setFlags(uint32_t value) { flags_ = value; }
    /// The component itself (null when none was given).
    [[nodiscard]] const toolbox::Component *component() const { return component_; }
    [[nodiscard]] const toolbox::ComponentDescription &componentDescription() const {
        return compDesc_;
    }

private:
    QString name_;
    QString type_;
    QString subType_;
    QString manufacturer_;
    QString threadsafe_;
    uint32_t flags_ = 0;
    const toolbox::Component *component_ = nullptr;
    toolbox::ComponentDescription compDesc_{};
};
