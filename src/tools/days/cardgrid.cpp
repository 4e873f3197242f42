#include "cardgrid.h"

namespace days {

CardCell counterCardCell(int index)
{
    return CardCell { index / kCounterCardColumns, index % kCounterCardColumns };
}

} // namespace days
