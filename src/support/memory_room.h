#pragma once

#include <cstdint>

namespace fd::support {

// About how many more bytes this process can allocate before an allocation fails or the system
// starts killing: the least of the memory the kernel reports available, what is left of the
// commit limit when it is enforced, and what is left under this process's address-space and data
// limits. UINT64_MAX when none of them can be read. Only an estimate, for refusing input that
// would obviously not fit before it is read; allocations must still be checked.
uint64_t MemoryRoom();

}  // namespace fd::support
