#ifndef QUILLO_CORE_DB_DATABASE_ERROR_H
#define QUILLO_CORE_DB_DATABASE_ERROR_H

// The database engine's error codes. Every engine object keeps the code of
// its last failure; DatabaseErrorText turns a code into its message.
enum DatabaseError {
  kDbNoError = 0,
  kDbInvalidCode = 1,
  kDbWrongObjectType = 4,
  kDbChecksumError = 9,
  kDbDuplicateEntry = 11,
  kDbEntryNotFound = 12,
  kDbCloseError = 14,
  kDbFileCorrupt = 15,
  kDbCreateError = 16,
  kDbNotReady = 19,
  kDbNotWritable = 20,
  kDbOpenError = 21,
  kDbPositionError = 22,
  kDbReadError = 23,
  kDbSeekError = 24,
  kDbWriteError = 25,
  kDbInsertError = 26,
  kDbNoMemory = 27,
  kDbNoDatabase = 28,
  kDbSyncError = 40,
  kDbWrongFileType = 42,
  kDbLastCode = 47,
};

// The message of a code; codes outside 0..47 read as code 1.
const char* DatabaseErrorText(int code);

#endif  // QUILLO_CORE_DB_DATABASE_ERROR_H
