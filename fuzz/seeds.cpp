// Writes the seed corpus of every fuzz target into the folder given, one subfolder per target:
// the 25 presets as sent frames, the simulated chamber's answers to them as received frames, in
// every display mode and both languages, and those answers on the line as the simulator's faults
// deliver them, for the receiver.
#include "fuzz/line_script.h"
#include "link/link.h"
#include "sim/answer.h"
#include "sim/chamber.h"
#include "sim/fault.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;

const char *const presets[] = {
    "t131009123000", "T",    "a0 030.0", "A0",   "u0 03.50", "u0 999.9", "d0 05.48",
    "d0 999.9",      "U0",   "E0",       "S",    "s1 1",     "s1 0",     "s2 0",
    "s3 0",          "s3 1", "P",        "p001", "p000",     "F",        "O",
    "o10 1",         "L",    "l2",       "l0",
};

// Responses the chamber never gives but the response sentences must take: short fields, the
// variants of L, P, o and O, and letters without a sentence.
const char *const odd_responses[] = {
    "T",
    "S1234",
    "A0 023.5 025.0",
    "A0 0023.5 025.0",
    "E0 0023.50",
    "L0",
    "L2",
    "L",
    "P",
    "P12",
    "Px",
    "o5",
    "o05",
    "O0101000",
    "O0111000",
    "F",
    "iany text",
    "B",
    "x",
    "7",
    "",
};

// Commands no preset holds: bytes with bit 7 set, bare letters, letters without a sentence.
const char *const odd_commands[] = {
    ("\xe4"
     "0 1.0"),
    "s1",
    "o10",
    "o",
    "l",
    "t",
    "A",
    "p",
    "p-5",
    "a0 1e999",
    "H help",
    "B",
    "x",
    "9",
};

std::filesystem::path out; // the folder given

void write(const char *target, const std::string &name, const Bytes &bytes) {
    const std::filesystem::path folder = out / target;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary) << bytes;
}

// The format targets' input for a text that create_framing frames for address 1.
Bytes format_input(int mode, int language, const std::string &text) {
    return Bytes{char(mode), char(language), char(1 << 1 | 1)} + text;
}

void format_seeds(const char *target, const std::vector<std::string> &texts) {
    int number = 0;
    for (const std::string &text : texts) {
        for (int mode = 0; mode <= 2; mode++)
            for (int language = 0; language <= 1; language++)
                write(target,
                      "text" + std::to_string(number) + "-mode" + std::to_string(mode) + "-lang" +
                          std::to_string(language),
                      format_input(mode, language, text));
        number++;
    }
    char frame[FRAME_BUFFER_SIZE];
    const int length = create_framing(texts.front().c_str(), frame, 1);
    // A raw frame, an invalid mode, a language other than 1, the empty payload, a cut frame.
    write(target, "raw", Bytes{2, 0, 0} + Bytes(frame, size_t(length)));
    write(target, "mode-invalid", Bytes{char(0xFF), 1, 3} + texts.front());
    write(target, "lang-other", format_input(2, -7, texts.front()));
    write(target, "empty-payload", Bytes{0, 0, 0} + "\x02\x81\x81\x03");
    write(target, "cut", Bytes{2, 0, 0} + "\x02\x81");
    write(target, "longest", format_input(2, 0, "H" + std::string(MAX_COMMAND_LENGTH - 1, 'x')));
}

// The receiver's input: the burst the simulator sends for fault, at address 1.
Bytes line_input(int fault, const char *answer, unsigned char setup) {
    Burst burst;
    fault_frame(fault, answer, 1, &burst);
    Bytes line{1, char(setup)};
    if (burst.spaced) line += Bytes{LINE_ESCAPE, char(line_event(EVENT_GAP, 25))}; // 0.1 s
    line.append(reinterpret_cast<const char *>(burst.bytes), size_t(burst.count));
    if (burst.noise) line += Bytes{LINE_ESCAPE, char(line_event(EVENT_NOISE, 0)), char(FAULT_BYTE)};
    return line;
}

void receiver_seeds(const std::vector<std::string> &answers) {
    const char *target = "fuzz_receiver";
    int number = 0;
    for (const std::string &answer : answers) {
        for (int fault = 0; fault < FAULT_COUNT; fault++)
            write(target, "answer" + std::to_string(number) + "-" + fault_name(fault),
                  line_input(fault, answer.c_str(), fault % 2 ? LINE_AFTER_DELAY : 0));
        number++;
    }
    const Bytes good = line_input(FAULT_NONE, answers.front().c_str(), 0);
    const Bytes pause{LINE_ESCAPE, char(line_event(EVENT_PAUSE, 20))}; // 0.625 s: a time-out
    const Bytes unplug{LINE_ESCAPE, char(line_event(EVENT_UNPLUG, 0))};
    write(target, "open-fails", Bytes{1, LINE_OPEN_FAILS} + good.substr(2));
    write(target, "output-stalled", Bytes{1, LINE_OUTPUT_STALLED} + good.substr(2));
    write(target, "time-out-inside", good.substr(0, 5) + pause + good.substr(5));
    write(target, "unplug-inside", good.substr(0, 5) + unplug + good.substr(5));
    write(target, "address-32", Bytes{32, 0} + line_input(FAULT_WRONG_ADDRESS, "S", 0).substr(2));
    char empty[FRAME_BUFFER_SIZE];
    write(target, "empty-payload",
          Bytes{1, 0} + Bytes(empty, size_t(create_framing("", empty, 1))));
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    out = argv[1];

    Chamber chamber;
    chamber_init(&chamber, 1255437000, 0.0); // 13.10.2009 12:30:00
    std::vector<std::string> commands(std::begin(presets), std::end(presets)), answers;
    for (const char *command : presets) {
        char answer[ANSWER_SIZE];
        const char *why = nullptr;
        if (answer_request(&chamber, 1, command, 1.0, answer, &why) >= 0) answers.push_back(answer);
    }
    std::vector<std::string> responses = answers;
    responses.insert(responses.end(), std::begin(odd_responses), std::end(odd_responses));
    commands.insert(commands.end(), std::begin(odd_commands), std::end(odd_commands));

    format_seeds("fuzz_format_send", commands);
    format_seeds("fuzz_format_receive", responses);
    receiver_seeds(answers);
    return 0;
}
