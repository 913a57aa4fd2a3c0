#pragma once

// Result codes of the programs, taken from the Windows error numbering that the
// stored files and peers of the archive were written against.
namespace ResultCode {
constexpr long Success = 0;
constexpr long GeneralFailure = 31;
constexpr long MissingArgument = 87;
constexpr long BufferTooSmall = 111;
constexpr long AlreadyExists = 183;
constexpr long CannotOpenFile = 2401;
} // namespace ResultCode
