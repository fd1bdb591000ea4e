// The application's ServiceManagement methods.
#include <array>

#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "service/service.h"

namespace tavrelo {

namespace {

FeatureInterface serviceFeature{kServiceSlotCount, "ServiceManagement"};

struct SlotMethod {
    const char* name;
    const char* signature;
};
constexpr std::array<SlotMethod, kServiceSlotCount> kSlotMethods{{
    {"serviceIsCreate", "()Z"},
    {"serviceIsLaunch", "()Z"},
    {"serviceIsDelete", "()Z"},
    {"serviceControl_Pause", "()Z"},
    {"serviceControl_Continue", "()Z"},
    {"serviceControl_Stop", "()Z"},
    {"serviceControl_Shutdown", "()Z"},
    {"serviceInit", "()Z"},
    {"serviceFinish", "()V"},
    {"serviceGetInfo", "()[Ljava/lang/String;"},
}};

} // namespace

bool bindServiceInterface(const std::string& mainClass) {
    for (int slot = 0; slot < kServiceSlotCount; ++slot) {
        const SlotMethod& method = kSlotMethods[static_cast<std::size_t>(slot)];
        (void)bindMethod(serviceFeature, mainClass.c_str(), slot, method.name, method.signature);
    }
    return isServiceApplication();
}

const FeatureInterface& serviceMethods() noexcept { return serviceFeature; }

bool isServiceApplication() noexcept {
    return isDefined(serviceFeature, kServiceGetInfo) || isDefined(serviceFeature, kServiceInit);
}

const char* serviceMethodName(int slot) noexcept {
    return slot >= 0 && slot < kServiceSlotCount ? kSlotMethods[static_cast<std::size_t>(slot)].name : "";
}

std::optional<ServiceInfoElements> readServiceInfoElements() noexcept {
    try {
        const LocalRef<jobjectArray> array = localAs<jobjectArray>(callObject(serviceFeature, kServiceGetInfo));
        if (!array) return std::nullopt;
        ServiceInfoElements elements;
        const jsize count = arrayLength(array.get());
        for (jsize i = 0; i < count && static_cast<std::size_t>(i) < kServiceInfoElements; ++i) {
            const LocalRef<jstring> element = localAs<jstring>(arrayElement(array.get(), i));
            if (element)
                elements.emplace_back(fromJavaString(element));
            else
                elements.emplace_back(std::nullopt);
        }
        return elements;
    } catch (...) {
        return std::nullopt; // out of memory: as if the method had answered null
    }
}

ServiceInfo readServiceInfo() noexcept {
    try {
        return parseServiceInfo(readServiceInfoElements().value_or(ServiceInfoElements{}));
    } catch (...) {
        return ServiceInfo{};
    }
}

// Looked up in a record of its own: the tray's record is bound once, by the desktop features.
bool hasCompanion() noexcept {
    static FeatureInterface companion{5, "TaskbarManagement"};
    constexpr std::array<SlotMethod, 5> methods{{
        {"taskGetMenu", "(ZI)[[Ljava/lang/String;"},
        {"taskGetInfo", "()[Ljava/lang/String;"},
        {"taskDisplayMenu", "(ZLjava/awt/Component;II)Z"},
        {"taskDataForService", "()Ljava/io/Serializable;"},
        {"taskDataFromService", "(Ljava/io/Serializable;)V"},
    }};
    bool any = false;
    for (int slot = 0; slot < 5; ++slot) {
        const SlotMethod& method = methods[static_cast<std::size_t>(slot)];
        (void)bindMethod(companion, mainClassName().c_str(), slot, method.name, method.signature);
        any = any || isDefined(companion, slot);
    }
    return any;
}

} // namespace tavrelo
