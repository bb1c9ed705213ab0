// Status codes of database and object operations.
#pragma once

namespace Acad {
enum ErrorStatus {
  eOk = 0,
  eNotImplementedYet = 1,
  eNotApplicable = 2,
  eInvalidInput = 3,
  eOutOfMemory = 5,
  eEndOfFile = 9,
  eKeyNotFound = 22,
  eDuplicateKey = 23,
  eInvalidIndex = 24,
  eNullObjectId = 32,
  eNullHandle = 34,
  eUnknownHandle = 36,
  eNullObjectPointer = 37,
  eNotOpenForRead = 38,
  eNotOpenForWrite = 39,
  eWasErased = 84,
  eWasOpenForRead = 86,
  eWasOpenForWrite = 87,
  eAlreadyInDb = 104,
  eNoDatabase = 106,
  eDuplicateRecordName = 109,
  eInvalidOpenState = 110,
  eBadDxfSequence = 122,
  eWasNotOpenForWrite = 127,
  eFileNotFound = 150,
  eBadDwgHeader = 160,
  eInvalidSymbolTableName = 182,
  eRegappIdNotFound = 186,
  eNotInDatabase = 197,
  eDegenerateGeometry = 216,
  eInvalidXDataSize = 244,
  eXdataSizeExceeded = 245,
};
}
