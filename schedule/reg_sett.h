#pragma once

#include "schedule/module1.h"
#include "schedule/reg_store.h"

namespace horvex {

// Reads the 111 values of the schedule and the port into the mirrors.
// A check value that is not a whole number 0..255 throws Failure naming the
// key; the mirrors read before it keep their values.
void LoadRegSett(Module1& m, RegStore& store);

// Writes the 111 values from the mirrors, every one on every save, except
// those the mirrors do not really hold (see Module1::known): a value that
// could not be loaded keeps what the store has. Throws Failure when the store
// could not keep them.
void SaveRegSett(const Module1& m, RegStore& store);

} // namespace horvex
