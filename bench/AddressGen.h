#pragma once
// The synthetic address book of the project's generator script, reproduced draw for draw in C++
// (std::minstd_rand arithmetic, same order of draws), so benchmarks and load tests use the same
// rows as the reference figures: seed 1 the base book, seed 2 rows to append, seed 3 surnames.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace addrgen {

inline const char* const FIRST[] = {"James", "Mary", "John", "Patricia", "Robert", "Jennifer", "Michael", "Linda", "William", "Elizabeth", "David", "Barbara", "Richard", "Susan", "Joseph", "Jessica", "Thomas", "Sarah", "Charles", "Karen", "Christopher", "Nancy", "Daniel", "Lisa", "Matthew", "Betty", "Anthony", "Margaret", "Mark", "Sandra", "Donald", "Ashley", "Steven", "Kimberly", "Paul", "Emily", "Andrew", "Donna", "Joshua", "Michelle", "Kenneth", "Dorothy", "Kevin", "Carol", "Brian", "Amanda", "George", "Melissa", "Edward", "Deborah", "Ronald", "Stephanie", "Timothy", "Rebecca", "Jason", "Sharon", "Jeffrey", "Laura", "Ryan", "Cynthia", "Jacob", "Kathleen", "Gary", "Amy"};
inline const char* const SYL[] = {"an", "ber", "cor", "dal", "el", "fen", "gar", "hol", "is", "jon", "kel", "lam", "mor", "nel", "os", "par", "quin", "ros", "sten", "tal", "ur", "van", "wel", "xan", "yor", "zim", "ash", "bro", "cla", "dre", "fin", "gro"};
inline const char* const STREET[] = {"Main", "Oak", "Pine", "Maple", "Cedar", "Elm", "Washington", "Lake", "Hill", "Park", "Sunset", "Lincoln", "Jackson", "River", "Church", "Willow"};
inline const char* const SUFFIX[] = {"St", "Ave", "Rd", "Blvd", "Ln", "Dr", "Ct", "Way"};
inline const char* const CITY[] = {"Springfield", "Riverside", "Franklin", "Greenville", "Bristol", "Clinton", "Fairview", "Salem", "Madison", "Georgetown", "Arlington", "Ashland", "Dover", "Oxford", "Jackson", "Burlington"};
inline const char* const STATE[] = {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL", "GA", "HI", "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MD", "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ", "NM", "NY", "NC", "ND", "OH", "OK", "OR", "PA", "RI", "SC", "SD", "TN", "TX", "UT", "VT", "VA", "WA", "WV", "WI", "WY"};
inline const char* const COUNTRY[] = {"USA", "USA", "USA", "USA", "Canada", "Mexico", "United Kingdom", "Germany"};

// Columns in the address table's order.
enum Col { First, Last, Street, Street2, City, State, Zip, Country, Email, Phone, Fax, Mobile,
           Birthdate, Annavdate, Other1Date, Other2Date, FlagBase, ColumnCount = FlagBase + 11 };

struct Gen {
    explicit Gen(uint64_t seed) : s(seed) {}
    uint64_t s;
    // s * 48271 mod 2^31-1, reduced without a division (2^31 = 1 modulo the prime).
    uint32_t next() {
        uint64_t x = s * 48271;
        x = (x & 0x7FFFFFFF) + (x >> 31);
        if (x >= 0x7FFFFFFF) x -= 0x7FFFFFFF;
        s = x;
        return uint32_t(s);
    }
    // Appends v in decimal, zero-padded to at least `width` digits.
    static void digits(std::string& out, unsigned v, int width) {
        char buf[12];
        int n = 0;
        do {
            buf[n++] = char('0' + v % 10);
            v /= 10;
        } while (v);
        while (n < width) buf[n++] = '0';
        while (n) out += buf[--n];
    }
    int integer(int n) { return int(next() % uint32_t(n)); }
    template <size_t N> const char* pick(const char* const (&a)[N]) { return a[integer(int(N))]; }

    std::string surname() {
        int parts = 2 + integer(2);
        std::string c;
        for (int i = 0; i < parts; ++i) c += pick(SYL);
        c[0] = char(c[0] - 'a' + 'A');
        return c;
    }
    std::string date(int y0, int years) {
        int y = y0 + integer(years);
        int m = 1 + integer(12);
        int d = 1 + integer(28);
        std::string out;
        digits(out, unsigned(y), 4);
        digits(out, unsigned(m), 2);
        digits(out, unsigned(d), 2);
        return out;
    }
    std::string phone() {
        int a = 200 + integer(800);
        std::string out = "(";
        digits(out, unsigned(a), 3);
        out += ") 555-";
        digits(out, unsigned(integer(10000)), 4);
        return out;
    }
    static std::string lower(std::string s) {
        for (char& c : s) if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return s;
    }
    std::array<std::string, ColumnCount> row() {
        std::array<std::string, ColumnCount> r;
        r[First] = pick(FIRST);
        r[Last] = surname();
        int n = 1 + integer(9999);
        const char* st = pick(STREET);
        const char* sx = pick(SUFFIX);
        digits(r[Street], unsigned(n), 1);
        ((r[Street] += ' ') += st) += ' ';
        r[Street] += sx;
        if (integer(5) == 0) {
            r[Street2] = "Apt ";
            digits(r[Street2], unsigned(1 + integer(999)), 1);
        }
        r[City] = pick(CITY);
        r[State] = pick(STATE);
        digits(r[Zip], unsigned(integer(100000)), 5);
        r[Country] = pick(COUNTRY);
        r[Email] = lower(r[First]);
        r[Email] += '.';
        r[Email] += lower(r[Last]);
        r[Email] += "@example.com";
        r[Phone] = phone();
        if (integer(4) == 0) r[Fax] = phone();
        r[Mobile] = phone();
        r[Birthdate] = date(1940, 60);
        r[Annavdate] = date(1960, 60);
        if (integer(10) == 0) r[Other1Date] = date(2000, 25);
        if (integer(10) == 0) r[Other2Date] = date(2000, 25);
        for (int i = 0; i < 11; ++i) r[FlagBase + i] = integer(2) == 1 ? "T" : "F";
        return r;
    }
    std::string upperSurname() {
        std::string s = surname();
        for (char& c : s) if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        return s;
    }
};

}  // namespace addrgen
