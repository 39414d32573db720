// The readers' registry and the statistics over exchanges.
#include "record/record.h"
#include "record/stats.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string heard;
int removable;

void hear(const ExchangeRecord *record, void *name) {
    heard += static_cast<const char *>(name) + std::to_string(record->port) + " ";
}

void hearAndRemove(const ExchangeRecord *record, void *name) {
    hear(record, name);
    remove_exchange_listener(removable);
}

TEST(Readers, HearEachRecordInTheOrderAddedAndMayLeaveWhileHearing) {
    auto record = std::make_unique<ExchangeRecord>();
    record->port = 3;
    char a[] = "a", b[] = "b", c[] = "c", d[] = "d";
    const int first = add_exchange_listener(hear, a);
    const int second = add_exchange_listener(hearAndRemove, b);
    removable = add_exchange_listener(hear, c);
    ASSERT_GT(removable, second);
    ASSERT_EQ(remove_exchange_listener(first), 0);
    const int fourth = add_exchange_listener(hear, d); // takes the freed slot, heard last

    heard.clear();
    publish_exchange(record.get());
    EXPECT_EQ(heard, "b3 d3 ") << "c was removed by b before its turn";
    heard.clear();
    publish_exchange(record.get());
    EXPECT_EQ(heard, "b3 d3 ");

    EXPECT_EQ(remove_exchange_listener(first), -1);
    EXPECT_EQ(add_exchange_listener(nullptr, nullptr), -1);
    remove_exchange_listener(second);
    remove_exchange_listener(fourth);
    int ids[MAX_EXCHANGE_LISTENERS];
    for (int &id : ids) id = add_exchange_listener(hear, a);
    EXPECT_GT(ids[MAX_EXCHANGE_LISTENERS - 1], 0);
    EXPECT_EQ(add_exchange_listener(hear, a), -1) << "the table is full";
    for (int id : ids) remove_exchange_listener(id);
}

TEST(Stats, CountOutcomesAndTimeTheAnswers) {
    auto stats = std::make_unique<ExchangeStats>();
    stats_reset(stats.get());
    EXPECT_EQ(stats_median_rtt(stats.get()), -1);

    const struct {
        int outcome;
        double rtt;
    } exchanges[] = {{RECEIVE_OK, 12.34}, {RECEIVE_NO_ANSWER, -1},    {RECEIVE_OK, 3.0},
                     {RECEIVE_OK, 250.0}, {RECEIVE_BAD_CHECKSUM, -1}, {RECEIVE_OK, 9000.0}};
    for (const auto &e : exchanges) stats_add(stats.get(), e.outcome, e.rtt);

    EXPECT_EQ(stats->exchanges, 6);
    EXPECT_EQ(stats->byOutcome[RECEIVE_OK], 4);
    EXPECT_EQ(stats->byOutcome[RECEIVE_NO_ANSWER], 1);
    EXPECT_EQ(stats->byOutcome[RECEIVE_BAD_CHECKSUM], 1);
    EXPECT_EQ(stats->timed, 4);
    EXPECT_EQ(stats->rttMin, 3.0);
    EXPECT_EQ(stats->rttMax, 9000.0) << "a time beyond the bins still counts whole";
    EXPECT_NEAR(stats_median_rtt(stats.get()), 12.34, 0.1); // the lower middle of 3, 12.34, ...

    stats_reset(stats.get());
    stats_add(stats.get(), RECEIVE_OK, 7.77);
    EXPECT_EQ(stats_median_rtt(stats.get()), 7.77) << "held to the times seen";
}

} // namespace
