// What a host adds to a machine so that scripts can name exception classes:
// `on E: EConvertError do`, `E.Message`, `raise Exception.Create('...')`,
// `X is Exception`. The script tests' stand-in for the wrappers a real
// host publishes.
#pragma once

#include "vm/virt_machine.h"

namespace qob::scripttest {

// Publishes the exception classes by name and installs the machine's
// exception and type-test hooks. The machine must be initialised.
void AddExceptionClasses(TQOBVirtMachine& AVM);

}  // namespace qob::scripttest
