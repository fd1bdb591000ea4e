// The object pump's hooks backed by the application's own methods.
#include "bridge/bridge.h"
#include "bridge/object_conversion.h"
#include "ipc/pipes.h"

namespace tavrelo {

namespace {

const JavaPumpMethods& methodsOf(void* context) { return *static_cast<const JavaPumpMethods*>(context); }

bool askApplication(void* context, int callId) {
    const JavaPumpMethods& methods = methodsOf(context);
    return callBoolean(*methods.record, methods.querySlot, callId) != JNI_FALSE;
}

bool supplyFromApplication(void* context, int callId, std::string& bytes) {
    const JavaPumpMethods& methods = methodsOf(context);
    bytes = callObjectAsBytes(*methods.record, methods.supplySlot, callId);
    return !bytes.empty();
}

void deliverToApplication(void* context, int deliverId, const char* bytes, std::size_t size) {
    const JavaPumpMethods& methods = methodsOf(context);
    callWithObjectFromBytes(*methods.record, methods.deliverSlot, deliverId < 0 ? kNoLeadingInteger : deliverId, bytes,
                            size);
}

} // namespace

EndpointHooks javaEndpointHooks(const JavaPumpMethods& methods) noexcept {
    EndpointHooks hooks;
    hooks.context = const_cast<JavaPumpMethods*>(&methods);
    if (isDefined(*methods.record, methods.querySlot)) hooks.query = askApplication;
    hooks.supply = supplyFromApplication;
    if (isDefined(*methods.record, methods.deliverSlot)) hooks.deliver = deliverToApplication;
    return hooks;
}

} // namespace tavrelo
