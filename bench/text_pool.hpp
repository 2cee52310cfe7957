// Chinese and English phrase pools and the text builders of the vault generator.
#pragma once

#include <cstddef>      // std::size_t
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "bench_random.hpp"

namespace qs::Bench::TextPool {

// Words that no pool phrase contains, so searching them finds exactly the
// entries the generator marked.
inline constexpr std::string_view asciiMarker = "zephyrine";
inline constexpr std::string_view chineseMarker = "青鸾计划";

const std::vector<std::string>& tags();
const std::vector<std::string>& people();
const std::vector<std::string>& projects();
const std::vector<std::string>& titles();
const std::vector<std::string>& tasks();
const std::vector<std::string>& translations();

// Code points of valid UTF-8 text.
std::size_t countCodePoints(std::string_view text);
// The first `count` code points of `text`.
std::string firstCodePoints(std::string_view text, std::size_t count);

// Free text of at least `minChars` code points: phrases in both languages,
// line breaks and some emoji (ZWJ sequences and modifiers included).
// `chineseShare` is the chance that a phrase is Chinese.
std::string mixedText(BenchRandom& rng, std::size_t minChars, double chineseShare);

// A transcript of exactly `chars` characters: one continuous text without
// line breaks or emoji, so code points and grapheme clusters agree.
std::string transcriptText(BenchRandom& rng, std::size_t chars);

// Markdown minutes of a meeting, a few thousand bytes.
std::string minutesMarkdown(BenchRandom& rng, std::string_view title);

// A pronounceable lower-case pseudo English word.
std::string pseudoWord(BenchRandom& rng);
// A suffix that `pseudoWord` uses often enough for a vocabulary query.
inline constexpr std::string_view vocabQuery = "ment";

}  // namespace qs::Bench::TextPool
