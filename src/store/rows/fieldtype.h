#pragma once
// The kinds of value a stored field holds, which the rows keep apart in their columns.

enum class TFieldType { ftString, ftInteger, ftBoolean, ftAutoInc };
