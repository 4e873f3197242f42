#include "cardgrid.h"

CardCell counterCardCell(int index)
{
    return CardCell { index / CounterCardColumns, index % CounterCardColumns };
}
