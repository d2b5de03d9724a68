#pragma once
// Calls a member of the control by dispatch identifier, and maps names to identifiers, both
// from the member table. May throw what the member throws; the object around it (control_
// object.h) turns that into a status.
#include <cstdint>
#include <span>
#include <string>

#include "automation/dispatch.h"

namespace velka {

class TmvEcrVelka;

// As Dispatch::Invoke; error is always filled on a refusal.
HResult InvokeMember(TmvEcrVelka& control, DispId id, std::uint16_t kind, std::span<Variant> args,
                     Variant* result, InvokeError& error);

// As Dispatch::GetIDsOfNames.
HResult IdsOfNames(std::span<const std::u16string> names, std::span<DispId> ids);

}  // namespace velka
