#include <gtest/gtest.h>

#include "ole/hresult.h"

namespace qob {
namespace {

TEST(HResultTextTest, SystemTextsAndUnknownCodes) {
  const struct {
    HRESULT code;
    std::u16string_view text;
  } cases[] = {
      {E_FAIL, u"Unspecified error"},
      {E_NOTIMPL, u"Not implemented"},
      {DISP_E_UNKNOWNNAME, u"Unknown name."},
      {DISP_E_MEMBERNOTFOUND, u"Member not found."},
      {DISP_E_BADPARAMCOUNT, u"Invalid number of parameters."},
      {DISP_E_TYPEMISMATCH, u"Type mismatch."},
      {DISP_E_EXCEPTION, u"Exception occurred."},
      {DISP_E_OVERFLOW, u"Out of present range."},
      {DISP_E_DIVBYZERO, u"Division by zero."},
      {CO_E_CLASSSTRING, u"Invalid class string"},
      {MK_E_UNAVAILABLE, u"Operation unavailable"},
      {MakeHResult(0x8000ABCD), u"Unknown error 0x8000ABCD"},
      {0x12, u"Unknown error 0x00000012"},
  };
  for (const auto& c : cases) EXPECT_EQ(HResultText(c.code).view(), c.text) << std::hex << c.code;
}

}  // namespace
}  // namespace qob
