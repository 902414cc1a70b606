"""NC text as korvane reads it for the time estimate: records end at CR LF or a lone CR, an LF
inside a record ends a block (a rest of at most one character after it is not read), a character
outside ASCII is one character whatever bytes it takes; a word is a letter (either case) and its
number, blanks anywhere, text in parentheses and after ";" a comment. Figures are printed with the
shortest exact digits, rounded half up."""
from decimal import Decimal, ROUND_HALF_UP

OTHER = "\x80"  # a character outside ASCII: one character, whatever bytes it takes


def nc_characters(data):
    """The file's characters: a UTF-8 sequence or a CP932 double-byte character is one."""
    out = []
    i, n = 0, len(data)
    while i < n:
        b = data[i]
        if b < 0x80:
            out.append(chr(b))
            i += 1
            continue
        length = 1
        utf8 = 2 if 0xC2 <= b <= 0xDF else 3 if 0xE0 <= b <= 0xEF else 4 if 0xF0 <= b <= 0xF4 else 0
        if utf8 and i + utf8 <= n and all(data[i + j] & 0xC0 == 0x80 for j in range(1, utf8)):
            length = utf8
        elif (0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC) and i + 1 < n and 0x40 <= data[i + 1] <= 0xFC and data[i + 1] != 0x7F:
            length = 2
        out.append(OTHER)
        i += length
    return out


def split_blocks(data):
    """Records end at CR LF or a lone CR; an LF inside a record ends a block, and after it a rest
    of at most one character before the record's end is not read. Returns each block's characters."""
    blocks = []
    state = {"cur": [], "open": False, "rem": None, "held": None}

    def end_block():
        blocks.append(state["cur"])
        state["cur"] = []

    def character(c):
        state["open"] = True
        if state["rem"] is None:
            if c == "\n":
                end_block()
                state["rem"] = "empty"
            else:
                state["cur"].append(c)
            return
        if state["rem"] == "empty":
            state["held"] = c
            state["rem"] = "one"
            return
        state["rem"] = None
        character(state["held"])
        character(c)

    def end_record():
        if state["rem"] is None:
            end_block()
        state["rem"] = None
        state["open"] = False

    after_cr = False
    for c in nc_characters(data):
        if after_cr:
            after_cr = False
            if c == "\n":
                continue
        if c == "\r":
            end_record()
            after_cr = True
            continue
        character(c)
    if state["open"]:
        end_record()
    return blocks


class Word:
    __slots__ = ("letter", "value", "point", "digits")

    def __init__(self, letter, value, point, digits):
        self.letter, self.value, self.point, self.digits = letter, value, point, digits


class Block:
    """The words of one block: the first word of each address, every G and M code."""

    def __init__(self, chars):
        self.length = len(chars)
        self.percent_only = chars == ["%"]
        self.text = "".join(chars)
        self.words = {}
        self.g = []
        self.m = []
        self.numbered = False  # an O word (or ":") begins the block
        self._read(chars)

    def _read(self, chars):
        state = "between"
        index = 0
        cur = None  # [letter, sign, digits, point, fraction digits, sign_or_digit_seen]

        def end_word():
            nonlocal index
            letter, negative, whole, point, frac, _ = cur
            i = index
            index += 1
            if not whole and not frac:
                return  # a letter without a number writes nothing
            text = (whole or "0") + ("." + frac if frac else "")
            value = float(text)
            if negative:
                value = -value
            if letter in "GM":
                # Whole codes only: G43.4 or a negative code is none the reading follows.
                if negative and value != 0:
                    return
                if value != int(value):
                    return
                (self.g if letter == "G" else self.m).append(int(value))
                return
            if letter == "O" and i == 0:
                self.numbered = True
            if letter not in self.words:
                self.words[letter] = Word(letter, value, point, whole)

        for c in chars:
            if state == "number":
                if "0" <= c <= "9":
                    if cur[3]:
                        cur[4] += c
                    else:
                        cur[2] += c
                    cur[5] = True
                    continue
                if c in " \t":
                    continue
                if c == "." and not cur[3]:
                    cur[3] = True
                    cur[5] = True
                    continue
                if c in "+-" and not cur[5]:
                    cur[1] = c == "-"
                    cur[5] = True
                    continue
                end_word()
                state = "between"
                if c == OTHER:
                    continue
            if state == "comment":
                if c == ")":
                    state = "between"
                continue
            if state == "line comment":
                continue
            # between words
            if ("A" <= c <= "Z") or ("a" <= c <= "z") or c == ":":
                letter = "O" if c == ":" else c.upper()
                cur = [letter, False, "", False, "", False]
                state = "number"
            elif c == "(":
                state = "comment"
            elif c == ";":
                state = "line comment"
        if state == "number":
            end_word()

    def has(self, *letters):
        return any(l in self.words for l in letters)

    def num(self, letter, default=None):
        w = self.words.get(letter)
        return default if w is None else w.value

    def ends_program(self):
        return any(m in (2, 30, 99) for m in self.m)


def read_blocks(data):
    return [Block(chars) for chars in split_blocks(data)]


def fixed(value, decimals):
    """As korvane prints a figure: the shortest exact digits, rounded half up."""
    d = Decimal(repr(abs(value))).quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP)
    text = f"{d:.{decimals}f}"
    return ("-" + text) if value < 0 else text
