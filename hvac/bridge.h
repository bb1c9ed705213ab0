// The channel to Ductora: its automation server running in the same CAD host, reached
// through the running object table. Each task makes its own bridge and releases it at
// the task's end. Results: 0 done; another server code = refused (ask lastError);
// -1 not connected; -2 the call itself failed.
#pragma once
#include <cstddef>
#include <string>
#include "DuraComSrv.h"

class DuctoraConnection {
 public:
  // Finds both running server objects; throws the reason as a char* message.
  DuctoraConnection();
  ~DuctoraConnection();
  DuctoraConnection(const DuctoraConnection&) = delete;
  DuctoraConnection& operator=(const DuctoraConnection&) = delete;

  DURACOMSRVLib::IDrawing* drawing = nullptr;        // held, never called
  DURACOMSRVLib::IDuctora200711* ductora = nullptr;  // every operation goes through it
};

class DuctoraBridge {
 public:
  // Connects; throws the connection's char* message when the server is missing.
  DuctoraBridge();
  ~DuctoraBridge();
  DuctoraBridge(const DuctoraBridge&) = delete;
  DuctoraBridge& operator=(const DuctoraBridge&) = delete;

  long version();            // 0 when not connected or the call fails
  std::string lastError();   // "" when not connected or the call fails
  long getString(const char* handle, const char* query, std::string& value);
  long setString(const char* handle, const char* query, const char* value);
  long getNumber(const char* handle, const char* query, double& value);
  long setNumber(const char* handle, const char* query, double value);
  long getPoint(const char* handle, const char* query, double& x, double& y, double& z);
  long setPoint(const char* handle, const char* query, double x, double y, double z);
  long createPart(const char* request, std::string& handle);
  long createConnectionStub(const char* request, std::string& handle);
  long manageProductData(const char* request);
  long allocBinary(long id, long size);
  long writeBinary(long id, long offset, const char* hexText);
  long freeBinary(long id);
  // The bytes in chunks of 10240, each as upper-case hexadecimal text; -4 for no data.
  long writeBinaryData(long id, const void* data, long length);
  // A whole file through writeBinaryData; -4 empty path or file, -6 unreadable, -7 no memory.
  long writeBinaryFile(long id, const char* path);

  DuctoraConnection* connection = nullptr;
};

// Bytes per writeBinary chunk.
const long kBinaryChunk = 10240;
