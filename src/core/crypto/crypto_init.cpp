#include "core/crypto/crypto_init.h"

#include <sodium.h>

// sodium_init returns 1 when an earlier call already did the work.
bool InitCrypto() { return sodium_init() >= 0; }
