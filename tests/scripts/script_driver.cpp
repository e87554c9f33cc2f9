// Runs one Pascal-like script the way the script tests expect: the script is
// compiled and opened on a virtual machine (its main block runs), message
// boxes print their text and a newline to standard output, input boxes read
// lines from standard input, and an error that ends the script prints
//   error: <message> (line L, position P)
// to standard output, with the 0-based line and 1-based position the machine
// reported for it (left out when it reported none). Regional settings are
// the invariant ones, so dates and numbers print the same everywhere.
//
// Usage: script_driver FILE.pas
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "pascal/pas_language.h"
#include "rtl/exceptions.h"
#include "rtl/format_settings.h"
#include "script_classes.h"
#include "vm/virt_machine.h"

namespace {

using qob::Exception;
using qob::WideString;

// Where the machine placed an error: the innermost report wins, since every
// activation the error leaves reports it again. Holding the object keeps its
// address from going to a later error.
struct TErrorPlace {
  std::exception_ptr Held;
  const Exception* Error = nullptr;
  int32_t Line = -1;
  int32_t Position = -1;
};

std::string WithoutCarriageReturns(const std::string& AText) {
  std::string text;
  for (char c : AText)
    if (c != '\r') text += c;
  return text;
}

std::string ReadFile(const char* APath) {
  std::ifstream file(APath, std::ios::binary);
  if (!file) throw std::runtime_error(std::string("cannot read ") + APath);
  std::ostringstream text;
  text << file.rdbuf();
  std::string bytes = text.str();
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);  // byte-order mark
  return bytes;
}

void PrintError(const std::string& AMessage, const TErrorPlace* APlace) {
  std::cout.flush();
  std::cout << "error: " << WithoutCarriageReturns(AMessage);
  if (APlace && APlace->Line >= 0)
    std::cout << " (line " << APlace->Line << ", position " << APlace->Position << ")";
  std::cout << '\n' << std::flush;
}

int Run(const char* APath) {
  qob::FormatSettings() = qob::TFormatSettings::Invariant();
  const WideString source = WideString::FromUtf8(ReadFile(APath));

  qob::TQOBVirtMachine vm(new qob::TQOBPasLanguage());
  TErrorPlace place;
  vm.OnFormatException = [&place](qob::TObject*, int32_t ALine, int32_t ALinePos, Exception& E) {
    if (place.Error == &E) return;
    place = {std::current_exception(), &E, ALine, ALinePos};
  };
  // `@Proc` asks the host for an event handler; a name is all a test needs.
  vm.OnEventMake = [](qob::TQOBVirtMachine*, const WideString& AProcName, qob::Variant& AResult) {
    AResult = qob::Variant(WideString(u"handler of ") + AProcName);
  };
  try {
    vm.Initialize(source);
    qob::scripttest::AddExceptionClasses(vm);
    vm.Open();
  } catch (const Exception& e) {
    PrintError(e.Message().ToUtf8(), place.Error == &e ? &place : nullptr);
  } catch (const std::exception& e) {
    PrintError(e.what(), nullptr);
  }
  vm.Close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: script_driver FILE.pas\n";
    return 2;
  }
  try {
    return Run(argv[1]);
  } catch (const std::exception& e) {
    std::cerr << "script_driver: " << e.what() << '\n';
    return 2;
  }
}
