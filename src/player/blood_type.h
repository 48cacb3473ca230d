// The insect's blood type is one of the people's (npc/blood_type.h).
#pragma once
#include "npc/blood_type.h"
