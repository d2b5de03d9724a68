// The type library of the Windows build is compiled from com/tmvvelka.idl; the file must be
// exactly what the member table writes, so that the COM face and the table never differ.
// With VELKA_WRITE_IDL=1 the test writes the file anew instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "control/automation/idl_text.h"
#include "control/automation/member_table.h"

namespace velka::testing {
namespace {

std::string IdlPath() {
  return VELKA_IDL_FILE;
}

TEST(TypeLibraryIdl, IdlFileMatchesTheMemberTable) {
  const std::string written = TypeLibraryIdl(TmvEcrVelkaTypeLibrary());
  if (std::getenv("VELKA_WRITE_IDL")) {
    std::ofstream(IdlPath(), std::ios::binary) << written;
  }
  std::ifstream in(IdlPath(), std::ios::binary);
  ASSERT_TRUE(in) << IdlPath();
  std::ostringstream file;
  file << in.rdbuf();
  EXPECT_EQ(file.str(), written) << "regenerate with VELKA_WRITE_IDL=1";
}

TEST(TypeLibraryIdl, DeclaresEveryMemberWithItsIdentifierAndDirections) {
  const std::string idl = TypeLibraryIdl(TmvEcrVelkaTypeLibrary());
  for (const char* line : {
           "[id(0x60030015)] long TMVOpen([in, out] BSTR* DeviceName);",
           "[id(0x68030005), propput] void AsyncMode([in] VARIANT_BOOL NewValue);",
           "[id(0x68030014), propget] long ResultCode();",
           "[in, out, optional] long* Quantity",
           "[in, out, optional] BSTR* UnitName",
           "[in, out, optional] CURRENCY* Amount",
           "[in, out] SAFEARRAY(long)* OptArgs",
           "[id(0x60030034)] long DirectIO([in] long Command, [in, out] long* pData, [in, out] "
           "BSTR* pString);",
           "[id(0x00000003)] void ErrorEvent([in] long ResultCode, [in] long ResultCodeExtended, "
           "[in] long ErrorLocus, [in, out] long* pErrorResponse);",
           "dispinterface __TmvEcrVelka {",
           "[default, source] dispinterface __TmvEcrVelka;",
           "coclass TmvEcrVelka {",
       }) {
    EXPECT_NE(idl.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace velka::testing
