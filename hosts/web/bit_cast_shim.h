// Emscripten's C++ library (LLVM 14's) has no std::bit_cast although its
// compiler has the builtin behind it. Included ahead of every source of the
// page's build.
#pragma once

#include <type_traits>
#include <version>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
    requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>)
constexpr To bit_cast(const From& from) noexcept
{
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
