// The SectionManagement contract as an application declares it.
#include <array>

#include "service/admin.h"

namespace tavrelo {

namespace {

constexpr const char* kNoPrefix[] = {""};

constexpr std::array<NativeMethod, 5> kSectionNatives{{
    {kSectionIsAdmin, "sectionIsAdmin", "()Z"},
    {kSectionExecAsAdmin, "sectionExecAsAdmin", "(Ljava/lang/String;[Ljava/lang/String;)Z"},
    {kSectionRestartAsAdmin, "sectionRestartAsAdmin", "(Ljava/io/Serializable;[Ljava/lang/String;)V"},
    {kSectionSetIconAdmin, "sectionSetIconAdmin", "(Ljava/awt/Component;)V"},
    {kSectionStartAdminThread, "sectionStartAdminThread", "(ILjava/io/Serializable;Z)Z"},
}};

constexpr std::array<NativeMethod, 9> kSectionMethods{{
    {kSectionSetDataRestart, "sectionSetDataRestart", "(Ljava/io/Serializable;)V"},
    {kSectionMainAdmin, "sectionMainAdmin", "(ILjava/io/Serializable;)V"},
    {kSectionClosedAdminThread, "sectionClosedAdminThread", "(I)V"},
    {kSectionIsDataForAdmin, "sectionIsDataForAdmin", "(I)Z"},
    {kSectionDataForAdmin, "sectionDataForAdmin", "(I)Ljava/io/Serializable;"},
    {kSectionDataFromAdmin, "sectionDataFromAdmin", "(ILjava/io/Serializable;)V"},
    {kSectionIsDataForUser, "sectionIsDataForUser", "()Z"},
    {kSectionDataForUser, "sectionDataForUser", "()Ljava/io/Serializable;"},
    {kSectionDataFromUser, "sectionDataFromUser", "(Ljava/io/Serializable;)V"},
}};

constexpr NativeSet kSectionSet{"SectionManagement", kSectionSlotCount, kNoPrefix, kSectionNatives};

void appendTrimmed(Text& line, TextView part) {
    const Text trimmed = trim(part);
    if (trimmed.empty()) return;
    line += u' ';
    line += trimmed;
}

} // namespace

const NativeSet& sectionNatives() noexcept { return kSectionSet; }

std::span<const NativeMethod> sectionMethods() noexcept { return kSectionMethods; }

Text restartParameters(int processId, TextView ownArguments, TextView newArguments) {
    Text line = u"__RunAsAdmin__ " + fromInt(processId);
    appendTrimmed(line, ownArguments);
    appendTrimmed(line, newArguments);
    return line;
}

Text sectionParameters(int processId, int section, TextView ownArguments, bool withOwnArguments) {
    Text line = u"__ThreadAsAdmin__ " + fromInt(processId) + u' ' + fromInt(section);
    if (withOwnArguments) appendTrimmed(line, ownArguments);
    return line;
}

} // namespace tavrelo
