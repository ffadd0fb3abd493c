// The steps the placement run calls, from the units that own them: the pick and
// place steps, the mark correction and the on-nozzle vision.
#pragma once

#include "run/mark_correction.h"
#include "run/nozzle_vision.h"
#include "run/pick_place.h"
