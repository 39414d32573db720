// kelvra-ascii publishing to a real mosquitto on loopback: the topics, retained values and
// presence of a polling run whose broker restarts in its middle, the broker's last will for a
// killed run; and every setting that cannot work, with its message.
#include "tests/cli/cli_run.h"
#include "tests/mqtt/broker.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

int count_of(const std::vector<std::string> &lines, const std::string &start) {
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string &line) { return line.rfind(start, 0) == 0; }));
}

bool logged(const Broker &broker, const std::string &text) {
    std::ifstream log(broker.file("broker.log"));
    const std::string all((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    return all.find(text) != std::string::npos;
}

TEST(MqttBroker, PollingRunAcrossABrokerRestartAndTheLastWillOfAKilledRun) {
    Broker broker;
    ASSERT_TRUE(broker.running());
    SimProcess chamber({});
    ASSERT_TRUE(chamber.started());
    const std::string id = "kelvra-test-" + std::to_string(getpid());
    const Subscriber live(broker, "test/lab/#", id); // its session outlives the restart
    ASSERT_TRUE(wait_for(10, [&] { return logged(broker, " as " + id); }));
    const std::string map = "--map=com1=" + chamber.path(), mqtt = "--mqtt=" + broker.url();
    const std::vector<std::string> polling = {
        "--send=A0", map, mqtt, "--mqtt-prefix=test/lab", "--timestamps", "--interval=0.2"};
    const std::string exchanges = "0 test/lab/com1/1/exchange ";

    std::vector<std::string> args = polling;
    args.insert(args.end(), {"--repeat", "16", "--alarm", "A0 actual between 100 and 200"});
    StartedTool tool = start_tool(args);
    EXPECT_TRUE(wait_for(10, [&] { return count_of(live.lines(), exchanges) >= 3; }));
    broker.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ASSERT_TRUE(broker.start());
    const ToolRun run = finish_tool(tool);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string at = "127.0.0.1:" + std::to_string(broker.port());
    EXPECT_NE(run.err.find("kelvra-ascii: MQTT: the connection to the broker at " + at +
                           " was lost; trying again\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("kelvra-ascii: MQTT: connected to " + at + " again\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("unsent"), std::string::npos) << run.err;

    // every exchange arrives once its turn comes, those while the broker was away too (QoS 1
    // may bring one twice); each with the values of its A answer
    std::set<std::string> distinct;
    EXPECT_TRUE(wait_for(10, [&] {
        for (const std::string &line : live.lines())
            if (line.rfind(exchanges, 0) == 0) distinct.insert(line);
        return distinct.size() >= 16;
    }));
    EXPECT_EQ(distinct.size(), 16u);
    for (const std::string &line : distinct)
        EXPECT_NE(line.find(R"(,"port":"com1","address":1,"command":"A0","outcome":"ok",)"),
                  std::string::npos)
            << line;
    // values that waited for the broker kept only the newest, which it retains
    const std::string last = *distinct.rbegin(); // the latest time
    const std::string time = last.substr(last.find(R"("time":)"), 38);
    const std::vector<std::string> kept = retained(broker, "test/lab/#");
    EXPECT_EQ(count_of(kept, R"(1 test/lab/com1/1/A0 {"actual":)"), 1);
    for (const std::string &line : kept)
        if (line.rfind("1 test/lab/com1/1/A0 ", 0) == 0) {
            EXPECT_NE(line.find(time), std::string::npos) << line << " " << time;
        }
    EXPECT_EQ(count_of(kept, "1 test/lab/status offline"), 1) << kept.size();
    EXPECT_EQ(count_of(kept, "1 test/lab/com1/1/exchange"), 0);
    // the alarm the first answer raised, once
    const std::string alarm = "0 test/lab/com1/1/alarm ";
    EXPECT_EQ(count_of(live.lines(), alarm), 1);
    for (const std::string &line : live.lines())
        if (line.rfind(alarm, 0) == 0) {
            EXPECT_NE(line.find(R"("state":"raised","alarm":"A0 actual between 100 and 200",)"),
                      std::string::npos)
                << line;
        }

    // the exchanges kept their grid while the broker was away
    double previous = -1, longest = 0;
    for (const std::string &line : lines_of(run.out)) {
        if (line.size() < 3 || line.compare(line.size() - 3, 3, "\tA0") != 0) continue;
        const double seconds = time_of_day(line);
        if (previous >= 0) longest = std::max(longest, seconds - previous);
        previous = seconds;
    }
    EXPECT_LT(longest, 0.45) << run.out;

    // a run that is killed leaves its last will
    const int online = count_of(live.lines(), "0 test/lab/status online");
    const int offline = count_of(live.lines(), "0 test/lab/status offline");
    args = polling;
    args.insert(args.end(), {"--repeat", "0"});
    StartedTool killed = start_tool(args);
    EXPECT_TRUE(
        wait_for(10, [&] { return count_of(live.lines(), "0 test/lab/status online") > online; }));
    kill(killed.pid, SIGKILL);
    finish_tool(killed);
    EXPECT_TRUE(wait_for(
        10, [&] { return count_of(live.lines(), "0 test/lab/status offline") > offline; }));
}

// Writes text to a file of the given mode; returns its path.
std::string write_file(const std::string &path, const std::string &text, mode_t mode) {
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
    return path;
}

TEST(MqttBroker, SettingsThatCannotWorkAndTheirMessages) {
    char made[] = "/tmp/kelvra-mqtt-settings-XXXXXX";
    ASSERT_TRUE(mkdtemp(made));
    const std::string folder = made;
    const std::unique_ptr<const char, void (*)(const char *)> removed(made, [](const char *path) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    });
    const std::string passwords = write_file(folder + "/passwords", "", 0600);
    ASSERT_EQ(std::system(("mosquitto_passwd -b " + passwords + " operator s3cret").c_str()), 0);
    // a certificate authority of the test's own, and the broker's certificate for 127.0.0.1
    write_file(folder + "/ext", "subjectAltName=IP:127.0.0.1\n", 0600);
    const std::string openssl =
        "cd " + folder +
        " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 "
        "-subj /CN=kelvra-test-ca && openssl req -newkey rsa:2048 -nodes -keyout server.key "
        "-out server.csr -subj /CN=127.0.0.1 && openssl x509 -req -in server.csr -CA ca.pem "
        "-CAkey ca.key -CAcreateserial -out server.pem -days 2 -extfile ext";
    ASSERT_EQ(std::system(("(" + openssl + ") >/dev/null 2>&1").c_str()), 0);
    const int tlsPort = free_port();
    Broker broker("allow_anonymous false\npassword_file " + passwords + "\n",
                  "listener " + std::to_string(tlsPort) + " 127.0.0.1\ncertfile " + folder +
                      "/server.pem\nkeyfile " + folder + "/server.key\n");
    ASSERT_TRUE(broker.running());

    const std::string good = write_file(folder + "/good", "operator:s3cret\n", 0600);
    const std::string wrong = write_file(folder + "/wrong", "operator:guess\n", 0600);
    const std::string open = write_file(folder + "/open", "operator:s3cret\n", 0644);
    const std::string at = "127.0.0.1:" + std::to_string(broker.port());
    const std::string tls = "mqtts://127.0.0.1:" + std::to_string(tlsPort);
    const std::string nobody = "mqtt://127.0.0.1:" + std::to_string(free_port());
    const std::string mqtt = "kelvra-ascii: MQTT: ";
    // the exchange's message and "offline"; the problem may also have been told during the run
    const std::string unsent = mqtt + "2 messages left unsent: ";
    const struct {
        std::vector<std::string> args;
        int status;          // 2: the port of the exchange is missing, publishing went on
        std::string message; // stderr's last line about MQTT
    } cases[] = {
        {{"--mqtt", broker.url(), "--mqtt-credentials", good}, 2, ""},
        {{"--mqtt", tls, "--mqtt-credentials", good, "--mqtt-ca", folder + "/ca.pem"}, 2, ""},
        {{"--mqtt", "mqtt://broker:99999"},
         64,
         "kelvra-ascii: --mqtt mqtt://broker:99999 is no broker URL: write mqtt://HOST[:PORT] or "
         "mqtts://HOST[:PORT], the port 1 to 65535"},
        {{"--mqtt", nobody},
         2,
         unsent + "no broker answers at " + nobody.substr(7) + ": Connection refused"},
        {{"--mqtt", "mqtt://nosuch.invalid"},
         2,
         unsent + "cannot find the broker's host nosuch.invalid"},
        {{"--mqtt", broker.url(), "--mqtt-credentials", wrong},
         2,
         unsent + "the broker at " + at + " refused the user name or password"},
        {{"--mqtt", tls, "--mqtt-credentials", good},
         2,
         unsent + "TLS with the broker at " + tls.substr(8) +
             " failed: its certificate is not trusted or not for that host"},
        {{"--mqtt", broker.url(), "--mqtt-credentials", open},
         78,
         mqtt + "others may read the credentials file " + open +
             " (mode 0644): let its owner alone read it (chmod 600)"},
        {{"--mqtt", broker.url(), "--mqtt-credentials", folder + "/none"},
         78,
         mqtt + "cannot read the credentials file " + folder + "/none: No such file or directory"},
        {{"--mqtt", broker.url(), "--mqtt-ca", folder + "/ca.pem"},
         64,
         mqtt + "a CA file needs an mqtts:// URL, not " + broker.url()},
    };
    std::vector<std::vector<std::string>> argLists;
    for (const auto &c : cases) {
        argLists.push_back({"--send", "A0", "--map", "com1=" + folder + "/no-such-line"});
        argLists.back().insert(argLists.back().end(), c.args.begin(), c.args.end());
    }
    const std::vector<ToolRun> runs = run_tools(argLists);
    for (size_t i = 0; i < runs.size(); i++) {
        std::string message;
        for (const std::string &line : lines_of(runs[i].err))
            if (line.find("MQTT") != std::string::npos || line.find("--mqtt") != std::string::npos)
                message = line;
        EXPECT_EQ(runs[i].status, cases[i].status) << cases[i].args[1] << "\n" << runs[i].err;
        EXPECT_EQ(message, cases[i].message) << cases[i].args[1];
    }
}

} // namespace
