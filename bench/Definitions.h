#pragma once
// The definition files every benchmark uses: `count` declarations, half in
// each file, declared names of 16 to 24 characters, letters L, D and $ in
// turn. Deterministic, so that the library benchmarks and their peers see
// the same names in every run.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tolsa::bench {

struct Declared {
    std::string name;  // declared name, without the file prefix
    char letter;
};

inline char LetterOf(std::size_t i) {
    static constexpr char kLetters[] = {'L', 'D', '$'};
    return kLetters[i % 3];
}

inline std::vector<Declared> MakeDeclarations(std::size_t count) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
    std::vector<Declared> out;
    out.reserve(count);
    uint64_t state = 0x9E3779B97F4A7C15u;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = 16 + (i * 7) % 9;
        std::string name(length, 'x');
        for (std::size_t k = 0; k < length; ++k) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            name[k] = kAlphabet[(state >> 33) % 63];
        }
        name[0] = static_cast<char>('A' + i % 26);
        // The last characters spell the number, so that every name is unique.
        std::size_t n = i;
        for (std::size_t k = length; k-- > length - 5;) {
            name[k] = kAlphabet[n % 36 + 26];
            n /= 36;
        }
        out.push_back({std::move(name), LetterOf(i)});
    }
    return out;
}

// The full name of declaration i once start-up has read it.
inline std::string FullNameOf(const std::vector<Declared>& all, std::size_t i) {
    return (i < (all.size() + 1) / 2 ? "IORSH_" : "MEMSH_") + all[i].name;
}

// Writes iorsh.mem (the first half) and memsh.mem (the rest) into
// `directory`, which ends with a separator. False when a file cannot be made.
inline bool WriteDefinitionFiles(const std::string& directory, std::size_t count) {
    const std::vector<Declared> all = MakeDeclarations(count);
    const std::size_t half = (count + 1) / 2;
    for (int file = 0; file < 2; ++file) {
        const std::string path = directory + (file == 0 ? "iorsh.mem" : "memsh.mem");
        std::FILE* out = std::fopen(path.c_str(), "w");
        if (out == nullptr) return false;
        std::fprintf(out, "[Variables]\n; generated for the benchmarks\n");
        const std::size_t from = file == 0 ? 0 : half;
        const std::size_t to = file == 0 ? half : count;
        for (std::size_t i = from; i < to; ++i) std::fprintf(out, "%s=%c\n", all[i].name.c_str(), all[i].letter);
        if (std::fclose(out) != 0) return false;
    }
    return true;
}

}  // namespace tolsa::bench
