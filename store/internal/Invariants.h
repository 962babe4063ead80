// Invariants.h: the protocol's invariants (FileKeeper.h, I1 to I7) checked
// where they must hold, in the builds the tests run (VK_CHECK_INVARIANTS):
// one that does not hold ends the program at once, before it can touch the
// disk again, and names itself.
#pragma once

#ifdef VK_CHECK_INVARIANTS
[[noreturn]] void invariantBroken(const char* name, const char* file, int line);
#define VK_INVARIANT(holds, name) ((holds) ? (void)0 : invariantBroken(name, __FILE__, __LINE__))
#else
#define VK_INVARIANT(holds, name) ((void)0)
#endif
