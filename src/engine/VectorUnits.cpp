#include "engine/VectorUnits.h"

namespace kv {

namespace {

InstructionSetChoice& Choice() {
    static InstructionSetChoice choice(InstructionSet::Avx512);
    return choice;
}

}  // namespace

VectorUnits BestVectorUnits() { return Choice().Best(); }

VectorUnits ActiveVectorUnits() { return Choice().Active(); }

void UseVectorUnits(VectorUnits units) { Choice().Use(units); }

}  // namespace kv
