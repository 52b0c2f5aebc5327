// SPDX-License-Identifier: GPL-3.0-or-later
// The damage report of a decoded recording as marks the tape keeps: the
// damaged bytes of a block that follow each other with the same fault
// become one mark, at the time of its first byte.
#pragma once

#include <span>

#include "audio/Recording.h"
#include "tape/DamageMarks.h"

CDamageMarks MarksFromDamage(std::span<const CDamagedByte> damage);
