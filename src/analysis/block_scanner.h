#pragma once
// Reads the words of one NC block while its characters stream past, without keeping the block:
// a block may be a whole file (a file with bare LF line ends is one line). A word is a letter
// (either case) and the number after it; blanks may stand anywhere in and between words; text
// in parentheses and after ";" is a comment and holds no words, though its characters count
// toward the block's length, as a tape holds them.

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "analysis/block_words.h"

namespace korvane {

// Every character outside ASCII is handed to a scanner as this one byte.
inline constexpr unsigned char kOtherCharacter = 0x80;

class BlockScanner {
 public:
  // Takes the block's characters from p on up to the first CR, LF or byte outside ASCII (or
  // `end`), and returns where it stopped.
  const unsigned char* add(const unsigned char* p, const unsigned char* end);

  // One character: an ASCII character other than CR and LF, or kOtherCharacter.
  void add(unsigned char c);

  // Ends the block: a word still being read ends with it.
  void finish();

  BlockScanner() = default;
  // A copy holds the block read so far in a record of its own.
  BlockScanner(const BlockScanner& other)
      : own_(*other.words_), state_(other.state_), number_(other.number_), wordCount_(other.wordCount_) {}
  BlockScanner& operator=(const BlockScanner& other) {
    if (this != &other) {
      own_ = *other.words_;
      words_ = &own_;
      state_ = other.state_;
      number_ = other.number_;
      wordCount_ = other.wordCount_;
    }
    return *this;
  }

  // Starts a fresh block, built at `place` (where its reader will find it, so that it need not
  // be copied there), or in the scanner's own record. The values of words not found are left as
  // they were: they mean nothing.
  void reset(BlockWords* place = nullptr) {
    words_ = place ? place : &own_;
    // Two plain stores rather than a call: this runs once a block.
    std::memset(static_cast<void*>(words_), 0, offsetof(BlockWords, codes));
    static_assert(sizeof words_->codes == 16 && kNoCode == 0xFF);
    std::memset(words_->codes.data(), 0xFF, sizeof words_->codes);
    state_ = State::Between;
    wordCount_ = 0;
  }

  const BlockWords& words() const { return *words_; }

  // No character of the block taken yet.
  bool isFresh() const { return words_->length == 0; }

  // Takes a whole line [start, start + length) of characters other than CR, LF and bytes outside
  // ASCII, ended by a CR or LF with at least eight readable bytes from it on, into a fresh block. False, with the block left fresh, when a word on the line has a
  // shape only the character-by-character reading takes (blanks inside a number, very long
  // numbers).
  bool readPlainLine(const unsigned char* start, int length);

 private:
  enum class State : std::uint8_t { Between, Number, Comment, LineComment };

  // A word's number as read: value = ±mantissa × 10^droppedIntegerDigits / 10^fractionDigits.
  struct WordNumber {
    bool negative = false;
    bool point = false;
    int fractionDigits = 0;
    int droppedIntegerDigits = 0;  // past what the integer holds exactly
    std::uint64_t mantissa = 0;
  };

  // A number being read after its letter, a character at a time.
  struct Number {
    unsigned char letter = 0;
    bool signOrDigitSeen = false;
    int digits = 0;
    WordNumber value;
  };

  void endWord();
  // Puts one word that has a number into the block; `index` counts the words before it.
  void putWord(unsigned char letter, const WordNumber& number, int digits, int index);
  void takeCode(bool gCode, const WordNumber& number);
  // Keeps the number of the first word of an address; false for a later one.
  bool keepNumber(unsigned word, const WordNumber& number);
  // P, T and the letters the reading passes over, kept out of the loop over a line's words.
  void takeRareWord(unsigned char letter, const WordNumber& number, int digits);

  BlockWords own_;
  BlockWords* words_ = &own_;  // where the block is built
  State state_ = State::Between;
  Number number_;
  int wordCount_ = 0;
};

// The words of one whole line, its characters in the NC text's encoding (UTF-8 or Shift-JIS).
BlockWords readBlockWords(QByteArrayView line);

}  // namespace korvane
