// Fault injection for tests of the posix layer: make the n-th operation of a
// kind fail, or transfer fewer bytes than asked, as a full disk, a yanked
// drive or a sharing violation would. Process-wide and single-threaded; the
// Win32 layer never consults it, so arming it there has no effect.
//
// Typical use, driving a whole run over every possible failure point:
//     fault_reset(); run(); n = fault_count(FAULT_ANY);
//     for (k = 1..n) { fault_reset(); fault_arm(FAULT_ANY, k, FAULT_FAIL); run();
//                      check(fault_fired()); }
#pragma once
#include <cstdint>

enum FaultOperation : uint32_t {
    FAULT_OPEN_READ,       // os_open_read, os_open_read_regular
    FAULT_CREATE_WRITE,    // os_create_write, os_create_new
    FAULT_OPEN_WRITE,      // os_open_write
    FAULT_READ,            // os_read
    FAULT_WRITE,           // os_write
    FAULT_SEEK,            // os_seek
    FAULT_FLUSH,           // os_flush
    FAULT_SET_ATTRIBUTES,  // os_set_normal_attributes, os_set_readonly, os_set_attributes
    FAULT_GET_ATTRIBUTES,  // os_get_attributes (a failure reads as "no such file")
    FAULT_MOVE,            // os_move_replace
    FAULT_DELETE,          // os_delete_file
    FAULT_OWN_PATH,        // os_own_path (a failure reports no path, as GetModuleFileNameA can)
    FAULT_LINK,            // os_hard_link
    FAULT_ANY,             // every one of the above, counted together
    FAULT_OPERATION_COUNT = FAULT_ANY
};

enum FaultEffect : uint32_t {
    FAULT_FAIL,            // the operation fails without doing anything
    FAULT_SHORT,           // reads and writes transfer n / 2 bytes; others fail
    FAULT_FAIL_FROM_THEN_ON  // this and every later operation of the kind fail
};

// Counters to zero, nothing armed, nothing fired.
void fault_reset();
// The nth (1-based) operation of `op` after this call gets `effect`; replaces
// whatever was armed. nth 0 disarms.
void fault_arm(FaultOperation op, uint32_t nth, FaultEffect effect);
void fault_disarm();
// Operations of `op` (FAULT_ANY: of every kind) since the last fault_reset.
uint32_t fault_count(FaultOperation op);
// True once the armed fault has hit an operation.
bool fault_fired();
// The system error a spoiled operation reports (errno): by default 0, which
// the layer reports as an I/O error, a failure no retry mends. A sharing
// violation (EBUSY) or a refused access (EACCES) makes it one the engine
// retries. Kept until fault_reset.
void fault_set_error(uint32_t error);
uint32_t fault_error();

// For the platform layer: counts one operation of `op` and says whether it
// must be spoiled; *effect := how. False when nothing applies.
bool fault_hit(FaultOperation op, FaultEffect* effect);
// The same for an operation that either happens or fails: true when it must
// fail, with errno set as the system would say why (fault_error, else EIO).
bool fault_injected(FaultOperation op);
// The same for a read or a write of *n bytes: false to fail it, else true
// with *n halved (as a full disk would give part of the data) or kept.
bool fault_transfer_allowed(FaultOperation op, uint32_t* n);
