#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/os.h"
#include "resources/resources.h"
#include "tool/pe_resources.h"
#include "tool/tool.h"

namespace tavrelo {

// The manifest templates, generated from tool/resources at build time.
extern const unsigned char kAdministratorManifest[];
extern const std::size_t kAdministratorManifestSize;
extern const unsigned char kInvokerManifest[];
extern const std::size_t kInvokerManifestSize;

namespace {

constexpr std::size_t kDeliveryNameUnits = 1023;

} // namespace

std::optional<Text> deliveryNameOf(TextView file) {
    std::string bytes;
    std::vector<PeResource> resources;
    if (!os::readFile(file, bytes) || readPeResources(bytes, resources) != PeStatus::Read) return std::nullopt;
    Text name = peString(resources, kDeliveryNameString);
    if (name.size() > kDeliveryNameUnits) name.resize(kDeliveryNameUnits);
    return name;
}

bool canOpenExclusively(TextView file) {
    const int handle = ::open(toUtf8(file).c_str(), O_WRONLY | O_CLOEXEC);
    if (handle < 0) return false;
    ::close(handle);
    return true;
}

bool applyTargetUpdate(const TargetUpdate& update, Text& reason) {
    const Text& path = update.target.path;
    std::string file;
    if (!os::readFile(path, file)) {
        reason = u"\"" + path + u"\" can't be read.";
        return false;
    }
    if (const PeWriteStatus status = applyUpdateToProgram(file, update); status != PeWriteStatus::Written) {
        reason = u"\"" + path + u"\" is left unchanged: " + peWriteStatusText(status) + u".";
        return false;
    }
    // The new file replaces the old one whole, so an interrupted write leaves the old one; it
    // keeps the old one's permissions.
    struct stat before {};
    const bool known = ::stat(toUtf8(path).c_str(), &before) == 0;
    if (!os::writeFileReplacing(path, file)) {
        reason = u"\"" + path + u"\" can't be written.";
        return false;
    }
    if (known) (void)::chmod(toUtf8(path).c_str(), before.st_mode & 07777);
    return true;
}

std::string manifestTemplate(bool admin) {
    const unsigned char* bytes = admin ? kAdministratorManifest : kInvokerManifest;
    return std::string(reinterpret_cast<const char*>(bytes), admin ? kAdministratorManifestSize : kInvokerManifestSize);
}

} // namespace tavrelo
