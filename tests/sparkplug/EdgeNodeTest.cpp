// The edge node without a network: bdSeq and seq counting, what births and
// data messages carry, and which command metrics become writes.

#include <gtest/gtest.h>

#include <cstring>

#include "EdgeNode.h"
#include "Metrics.h"

namespace tolsa::sparkplug {
namespace {

codec::Record Make(int32_t index, std::string name, char type, int32_t size) {
    codec::Record record;
    record.index = index;
    record.name = std::move(name);
    record.type = type;
    record.size = size;
    return record;
}

std::vector<codec::Record> Records() {
    return {Make(0, "IORSH_Speed", 'L', 4), Make(1, "IORSH_Label", '$', 63), Make(2, "MEMSH_Hidden", 'D', 8),
            Make(3, "MEMSH_Setpoint", 'D', 8)};
}

InPayload Read(const std::vector<unsigned char>& bytes) {
    InPayload payload;
    std::string error;
    EXPECT_TRUE(Decode(bytes.data(), bytes.size(), payload, error)) << error;
    return payload;
}

const InMetric* Named(const InPayload& payload, std::string_view name) {
    for (const InMetric& metric : payload.metrics)
        if (metric.name && metric.name->kept == name) return &metric;
    return nullptr;
}

TEST(SparkplugEdgeNode, BdSeqCountsConnectsAndTheDeathCarriesIt) {
    EdgeNode node({true}, {false});
    node.Connect();
    EXPECT_EQ(node.BdSeq(), 0u);
    for (int i = 0; i < 255; ++i) node.Connect();
    EXPECT_EQ(node.BdSeq(), 255u);
    node.Connect();
    EXPECT_EQ(node.BdSeq(), 0u);
    node.Connect();
    const InPayload death = Read(node.Death(1234));
    EXPECT_EQ(death.timestamp, 1234u);
    EXPECT_FALSE(death.seq);
    ASSERT_EQ(death.metrics.size(), 1u);
    const InMetric& bd_seq = death.metrics[0];
    EXPECT_EQ(bd_seq.name->kept, "bdSeq");
    EXPECT_EQ(bd_seq.datatype, static_cast<uint32_t>(DataType::UInt64));
    EXPECT_EQ(bd_seq.long_value, 1u);
}

TEST(SparkplugEdgeNode, BirthNamesEveryPublishedVariableThenDataSendsChangesByAlias) {
    std::vector<codec::Record> records = Records();
    EdgeNode node({true, true, false, true}, {false, false, false, false});
    node.Connect();
    node.Connect();
    std::strcpy(reinterpret_cast<char*>(records[1].value.data()), "hello");
    const InPayload birth = Read(node.Birth(records, 99));
    EXPECT_EQ(birth.seq, 0u);
    EXPECT_EQ(birth.timestamp, 99u);
    ASSERT_EQ(birth.metrics.size(), 5u);
    for (int index : {0, 1, 3}) {
        const InMetric* metric = Named(birth, records[static_cast<std::size_t>(index)].name);
        ASSERT_TRUE(metric) << index;
        EXPECT_EQ(metric->alias, static_cast<uint64_t>(index));
        EXPECT_EQ(metric->datatype, static_cast<uint32_t>(DataTypeOf(records[static_cast<std::size_t>(index)].type)));
        EXPECT_EQ(metric->timestamp, 99u);
    }
    EXPECT_FALSE(Named(birth, "MEMSH_Hidden"));
    EXPECT_EQ(Named(birth, "IORSH_Label")->string_value->kept, "hello");
    EXPECT_EQ(Named(birth, "bdSeq")->long_value, 1u);
    EXPECT_EQ(Named(birth, "Node Control/Rebirth")->boolean_value, false);
    EXPECT_EQ(Named(birth, "Node Control/Rebirth")->datatype, static_cast<uint32_t>(DataType::Boolean));

    EXPECT_TRUE(node.Data({}, 100).empty());
    EXPECT_EQ(node.Seq(), 0u);

    for (int pass = 1; pass <= 300; ++pass) {
        const int32_t value = -pass;
        std::memcpy(records[0].value.data(), &value, 4);
        const InPayload data = Read(node.Data({records[0]}, 100 + static_cast<uint64_t>(pass)));
        ASSERT_EQ(data.seq, static_cast<uint64_t>(pass % 256)) << pass;
        ASSERT_EQ(data.metrics.size(), 1u);
        const InMetric& metric = data.metrics[0];
        ASSERT_FALSE(metric.name);
        ASSERT_FALSE(metric.datatype);
        ASSERT_EQ(metric.alias, 0u);
        ASSERT_EQ(metric.timestamp, 100u + static_cast<uint64_t>(pass));
        ASSERT_EQ(metric.int_value, static_cast<uint32_t>(value));
    }
    std::strcpy(reinterpret_cast<char*>(records[1].value.data()), "changed");
    records[3].value[7] = 0x40;
    const InPayload both = Read(node.Data({records[1], records[3]}, 500));
    ASSERT_EQ(both.metrics.size(), 2u);
    EXPECT_EQ(both.metrics[0].alias, 1u);
    EXPECT_EQ(both.metrics[0].string_value->kept, "changed");
    EXPECT_EQ(both.metrics[1].alias, 3u);
    EXPECT_EQ(both.metrics[1].double_value, 2.0);
    EXPECT_EQ(Read(node.Birth(records, 600)).seq, 0u);
    EXPECT_EQ(node.Seq(), 0u);
}

std::vector<unsigned char> CommandOf(const std::vector<OutMetric>& metrics) {
    std::vector<unsigned char> out;
    EXPECT_TRUE(Encode(OutPayload{1, std::nullopt, metrics}, out));
    return out;
}

OutMetric Metric(std::string_view name, std::optional<uint64_t> alias, DataType type, uint64_t integer, double real = 0,
                 std::string_view bytes = {}) {
    OutMetric metric;
    metric.name = name;
    metric.alias = alias;
    metric.value = Value{type, integer, real, bytes};
    return metric;
}

TEST(SparkplugEdgeNode, CommandsWriteWritableVariablesAndRefuseTheRestOneByOne) {
    const std::vector<codec::Record> records = Records();
    const EdgeNode node({true, true, true, true}, {true, true, false, true});
    const std::string long_name(300, 'n');
    const Command command = node.ReadCommand(
        CommandOf({
            Metric("IORSH_Speed", std::nullopt, DataType::Int32, static_cast<uint32_t>(-7)),
            Metric("MEMSH_Hidden", std::nullopt, DataType::Double, 0, 1.5),           // not writable
            Metric("IORSH_Nope", std::nullopt, DataType::Int32, 1),                   // unknown
            Metric({}, 9, DataType::Int32, 1),                                         // unknown alias
            Metric("IORSH_Label", std::nullopt, DataType::Int32, 1),                  // wrong datatype
            Metric("IORSH_Label", 3, DataType::String, 0, 0, "x"),                    // alias of another
            Metric(long_name, std::nullopt, DataType::Int32, 1),                      // no such name
            Metric({}, std::nullopt, DataType::Int32, 1),                              // neither
            Metric("Node Control/Rebirth", std::nullopt, DataType::Int32, 1),         // not a Boolean
            Metric({}, 3, DataType::Double, 0, -4.25),
            Metric("IORSH_Label", std::nullopt, DataType::String, 0, 0, "set"),
        }),
        records);
    EXPECT_FALSE(command.rebirth);
    ASSERT_EQ(command.writes.size(), 3u);
    int32_t speed;
    std::memcpy(&speed, command.writes[0].bytes.data(), 4);
    EXPECT_EQ(command.writes[0].index, 0);
    EXPECT_EQ(speed, -7);
    double setpoint;
    std::memcpy(&setpoint, command.writes[1].bytes.data(), 8);
    EXPECT_EQ(command.writes[1].index, 3);
    EXPECT_EQ(setpoint, -4.25);
    EXPECT_EQ(command.writes[2].index, 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(command.writes[2].bytes.data()), "set");
    const std::vector<std::string> refused = {
        "'MEMSH_Hidden': not writable",
        "'IORSH_Nope': no such variable",
        "alias 9: no such variable",
        "'IORSH_Label': datatype Int32, the variable is String",
        "'IORSH_Label': its alias 3 is not the variable's",
        "'" + long_name.substr(0, kKeptBytes) + "...': no such variable",
        "a metric with neither name nor alias: nothing to write",
        "'Node Control/Rebirth': Rebirth takes a Boolean",
    };
    EXPECT_EQ(command.refused, refused);

    EXPECT_TRUE(node.ReadCommand(CommandOf({Metric("Node Control/Rebirth", std::nullopt, DataType::Boolean, 1)}), records).rebirth);
    const Command no_rebirth = node.ReadCommand(CommandOf({Metric("Node Control/Rebirth", std::nullopt, DataType::Boolean, 0)}), records);
    EXPECT_FALSE(no_rebirth.rebirth);
    EXPECT_TRUE(no_rebirth.refused.empty());

    const unsigned char garbage[] = {0x12, 0x05, 0x0a};
    const Command bad = node.ReadCommand(garbage, records);
    EXPECT_TRUE(bad.writes.empty());
    ASSERT_EQ(bad.refused.size(), 1u);
    EXPECT_EQ(bad.refused[0].rfind("not a Sparkplug B payload: ", 0), 0u);
}

TEST(SparkplugEdgeNode, NodeIdsAndTopics) {
    std::string group, node, error;
    ASSERT_TRUE(ParseNodeId("Plant 1/Line-4", group, node, error));
    EXPECT_EQ(group, "Plant 1");
    EXPECT_EQ(node, "Line-4");
    const Topics topics = TopicsOf(group, node);
    EXPECT_EQ(topics.birth, "spBv1.0/Plant 1/NBIRTH/Line-4");
    EXPECT_EQ(topics.data, "spBv1.0/Plant 1/NDATA/Line-4");
    EXPECT_EQ(topics.death, "spBv1.0/Plant 1/NDEATH/Line-4");
    EXPECT_EQ(topics.command, "spBv1.0/Plant 1/NCMD/Line-4");
    EXPECT_EQ(StateTopic("scada"), "spBv1.0/STATE/scada");
    for (const char* bad : {"", "group", "/node", "group/", "a/b/c", "a+/b", "a/#"}) {
        EXPECT_FALSE(ParseNodeId(bad, group, node, error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace tolsa::sparkplug
