#pragma once
// Who the control is to automation clients: the identifiers of its type library, class and
// interfaces (fixed for good: clients and registrations keep them), the programmatic
// identifier, and the type library's name, version, locale and help string.
#include <cstdint>

#include "automation/guid.h"

namespace velka::identity {

inline constexpr Guid kLibraryId{
    0x2A584E1A, 0x7CCE, 0x4FD4, {0x91, 0x80, 0x69, 0x62, 0x03, 0x2C, 0xE8, 0xAC}};
inline constexpr Guid kClassId{
    0x2627C88C, 0x4A65, 0x4D90, {0x94, 0x02, 0x44, 0xC0, 0xB1, 0xC8, 0xE4, 0x4D}};
// _TmvEcrVelka, the dispatch interface and default interface of the class.
inline constexpr Guid kDispatchInterfaceId{
    0xE0667EF3, 0xE603, 0x430F, {0x95, 0x32, 0x9C, 0x5F, 0xC3, 0xAF, 0xAF, 0x14}};
// __TmvEcrVelka, the event interface and default source of the class.
inline constexpr Guid kEventInterfaceId{
    0x42D6AD81, 0xAC4D, 0x4C23, {0x8B, 0x9F, 0x2D, 0xCF, 0x7E, 0x71, 0x23, 0x57}};
// Our class-factory interface (ClassFactory in dispatch.h), asked of DllGetClassObject.
inline constexpr Guid kClassFactoryInterfaceId{
    0x24BC26D7, 0x4A3C, 0x4AE7, {0x8E, 0x26, 0xAE, 0x03, 0x4B, 0x1C, 0x93, 0xFE}};

inline constexpr const char* kProgId = "TMVVelka.TmvEcrVelka";
inline constexpr const char16_t* kLibraryName = u"TMVVelka";
inline constexpr const char16_t* kClassName = u"TmvEcrVelka";
inline constexpr const char16_t* kDispatchInterfaceName = u"_TmvEcrVelka";
inline constexpr const char16_t* kEventInterfaceName = u"__TmvEcrVelka";
inline constexpr const char16_t* kHelpString = u"TMV - VELKA";
inline constexpr int kTypeLibraryMajor = 1;
inline constexpr int kTypeLibraryMinor = 0;
inline constexpr std::uint32_t kLocale = 1033;

}  // namespace velka::identity
