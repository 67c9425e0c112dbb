// Where the input reports go: the link to the unit in the program, a byte
// vector in tests.
#pragma once

class ByteSink {
public:
  virtual ~ByteSink() {}
  // One whole report.
  virtual void send(const unsigned char* bytes, unsigned len) = 0;
};
