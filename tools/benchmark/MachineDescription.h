#pragma once

#include <QString>

namespace tavik::benchmark {

// The machine the figures come from, as one line: cores, processor model, memory.
QString describeMachine();

} // namespace tavik::benchmark
