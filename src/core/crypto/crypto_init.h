#ifndef QUILLO_CORE_CRYPTO_CRYPTO_INIT_H
#define QUILLO_CORE_CRYPTO_CRYPTO_INIT_H

// Readies libsodium (its random source and the choice of implementations).
// The program calls this once at start-up before any private session; any
// thread may call it, any number of times. Returns false when the library
// cannot be used: the program then says so and runs with private sessions
// off.
bool InitCrypto();

#endif  // QUILLO_CORE_CRYPTO_CRYPTO_INIT_H
