// The engine that serves the Btrieve call for the whole process: the embedded record manager,
// unless the user chose a client library (an option, or the environment variable).
#pragma once

#include <cstdint>
#include <string>

namespace recman {

// The environment variable naming the engine when no option does.
inline constexpr const char* kEngineVariable = "QUORVATH_BTRIEVE_LIBRARY";

// The user's choice: the option's value when given, else the environment variable's.
std::string EngineChoice(const std::string& option);

// Puts the chosen engine behind EngineCall: "" or "embedded" the embedded record manager, "auto"
// the first of the vendor's usual client libraries that loads, anything else the path of a
// client library (UTF-8). Throws EEngineLibrary (recman/engine_library.h) naming the library
// and what was missing; the engine serving before then stays.
void UseEngine(const std::string& choice);

// The Btrieve call through the chosen engine.
int16_t EngineCall(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                   void* keyBuffer, uint8_t keyLength, int8_t keyNumber);

// Why the engine refused the file of the last failed Open on this thread, in plain words
// (UTF-8), when the status alone does not say it; empty otherwise, and whenever a client
// library serves (the vendor's call has no such answer).
std::string LastErrorDetail();

// Which engine serves and what its Version operation reports, in UTF-8: "embedded record
// manager, version 6.15 N, 6.15 L" or "/path/libX.so, version ...".
std::string EngineDescription();

}  // namespace recman
