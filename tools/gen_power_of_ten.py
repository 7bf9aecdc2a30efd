#!/usr/bin/env python3
"""Prints the power-of-ten tables of calc/power_of_ten.cpp: 10^k rounded to the nearest 64-bit
significand (ties to even), as 80-bit extended (sign/exponent, significand) pairs.

  gen_power_of_ten.py                 prints the tables
  gen_power_of_ten.py --check FILE    exits 1 unless FILE holds every table exactly as printed
"""
import sys
from fractions import Fraction


def to_extended(value: Fraction) -> tuple[int, int]:
    e = value.numerator.bit_length() - value.denominator.bit_length()
    while Fraction(2) ** e > value:
        e -= 1
    while Fraction(2) ** (e + 1) <= value:
        e += 1
    scaled = value / Fraction(2) ** (e - 63)  # in [2^63, 2^64)
    q, r = divmod(scaled.numerator, scaled.denominator)
    twice = 2 * r
    if twice > scaled.denominator or (twice == scaled.denominator and q & 1):
        q += 1
    if q == 1 << 64:
        q >>= 1
        e += 1
    return e + 16383, q


def table(name: str, exponents: list[int]) -> str:
    rows = []
    for k in exponents:
        se, sig = to_extended(Fraction(10) ** k)
        rows.append(f"    {{0x{se:04X}, 0x{sig:016X}}},  // 1e{k}")
    return f"constexpr Extended {name}[] = {{\n" + "\n".join(rows) + "\n};\n"


def tables() -> list[str]:
    return [
        table("kSmall", list(range(32))),
        table("kMedium", [32 * j for j in range(1, 16)]),
        table("kLarge", [512 * j for j in range(1, 10)]),
    ]


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        with open(sys.argv[2], encoding="utf-8") as f:
            source = f.read()
        stale = [t.split("[", 1)[0].split()[-1] for t in tables() if t not in source]
        for name in stale:
            print(f"{sys.argv[2]}: {name} differs from what {sys.argv[0]} makes", file=sys.stderr)
        sys.exit(1 if stale else 0)
    print("\n".join(tables()))
