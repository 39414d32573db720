// The standard streams of a program that prints: what a caller did to them must not kill it or
// let a serial device take their place.
#pragma once

// Makes a pipe whose reader has gone a write error (the program reports it with status 74)
// rather than a signal that kills it, and holds a standard descriptor the caller closed with
// /dev/null, opened for reading only, so that no serial device the program opens takes its
// number and what is printed there fails as a write error. Call first in main.
void guard_standard_streams(void);
