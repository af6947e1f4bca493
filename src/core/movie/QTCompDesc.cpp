#include "movie/QTCompDesc.h"

#include "platform/log.h"

namespace {

// The registry's answer when a component reference names no component.
constexpr int kInvalidComponentID = -3000;

// The name as the registry hands it over: a Pascal string read into a cleared 200-byte buffer,
// so at most 199 characters survive.
constexpr int kNameBufferSize = 200;

} // namespace

QString OSTypeToNSString(uint32_t code) {
    if (code == 0) {
        return {};
    }
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint32_t byte = (code >> shift) & 0xffu;
        if (byte >= 32 && byte <= 126) {
            text.append(QLatin1Char(static_cast<char>(byte)));
        } else {
            text.append(QStringLiteral("$%1").arg(byte, 2, 16, QLatin1Char('0')));
        }
    }
    return text;
}

QTCompDesc QTCompDesc::withComponent(const toolbox::Component *component) {
    QTCompDesc record;
    record.component_ = component;
    if (component == nullptr) {
        logStr(QStringLiteral("GetComponentInfo() returned error %1\n").arg(kInvalidComponentID));
        return record;
    }
    record.compDesc_ = component->description;
    const std::string name = component->name.substr(
        0, std::min<std::size_t>(component->name.size(), std::min(255, kNameBufferSize - 1)));
    record.name_ = name.empty() ? QStringLiteral("**NO NAME**") : QString::fromLatin1(name);
    record.type_ = OSTypeToNSString(component->description.componentType);
    record.subType_ = OSTypeToNSString(component->description.componentSubType);
    record.manufacturer_ = OSTypeToNSString(component->description.componentManufacturer);
    record.flags_ = component->description.componentFlags;
    record.threadsafe_ = (record.flags_ & toolbox::kCmpThreadSafe) != 0 ? QStringLiteral("Yes")
                                                                        : QStringLiteral("No");
    return record;
}
