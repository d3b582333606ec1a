#pragma once

namespace korva {

// Sets the C library's allocator up for results of millions of rows; called
// first thing in main, before any thread starts.
//
// By default a block freed back to the system raises the size from which
// blocks are mapped from the system on their own, up to 32 MB. After one
// large result had gone, each view's record of its rows (8 bytes a row,
// grown by doubling on the window's thread) then grew inside the heap until
// that size, and its next growth copied all of it into fresh memory: one
// pause of over 100 ms at 4 million rows with the grid's two views. With the
// size fixed, such a record is in a mapping of its own from 1 MB on, and
// grows by moving that mapping, without a copy.
//
// Returns false where the allocator offers no such setting (other C
// libraries, or a memory checker's allocator), which changes nothing else.
bool setUpAllocator();

} // namespace korva
