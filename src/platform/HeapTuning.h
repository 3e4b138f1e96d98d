#pragma once

namespace tarnwick {

// Called first thing in main. On Linux with the GNU C library, starts the
// program once more, in the same process, with the library's heap tuned for
// the large reads it makes: its heaps grow 16 MiB at a time and ask the kernel
// for huge pages. A read of ten thousand rows touches some 15 MiB of fresh
// memory, and taking that 4 KiB at a time was a third of a grid load and of a
// large export. The restarted program puts the environment back as it found
// it, so what it starts is not tuned. An administrator's own malloc tunables
// stand: nothing is restarted then, nor where the restart cannot be made.
void restartWithHeapTuning(char** argv);

} // namespace tarnwick
