// SPDX-License-Identifier: GPL-3.0-or-later
// The request parser and the answer forms, against what Hamlib's rigctld 4.5.4 answered to the
// same requests on the simulated TS-2000 (recorded with nc and Hamlib's rigctl -m 2).
#include "rigserver/protocol.h"

#include <gtest/gtest.h>

namespace orvane::rig {
namespace {

struct Parsed {
  std::string line;
  // Each request as NAME[ARG,ARG]SEP: its long name, arguments and separator ('.' for plain).
  std::vector<std::string> requests;
};

std::string describe(const Request& r) {
  std::string out = r.name;
  if (r.command == Command::Unknown) out = "?" + out;
  out += "[";
  for (std::size_t i = 0; i < r.args.size(); ++i) out += (i ? "," : "") + r.args[i];
  out += r.argsMissing ? "...]" : "]";
  out += r.separator == 0 ? '.' : (r.separator == '\n' ? '+' : r.separator);
  return out;
}

class ParseLine : public testing::TestWithParam<Parsed> {};

TEST_P(ParseLine, GivesTheRequestsInOrder) {
  std::vector<std::string> got;
  for (const Request& r : parseLine(GetParam().line)) got.push_back(describe(r));
  EXPECT_EQ(got, GetParam().requests) << "line: " << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ParseLine,
    testing::Values(
        Parsed{"f", {"get_freq[]."}}, Parsed{"F 14074000", {"set_freq[14074000]."}},
        Parsed{"M USB 2400", {"set_mode[USB,2400]."}},
        Parsed{"S 1 VFOB", {"set_split_vfo[1,VFOB]."}},
        Parsed{"l STRENGTH", {"get_level[STRENGTH]."}}, Parsed{"\\get_freq", {"get_freq[]."}},
        Parsed{"\\set_freq 7074000", {"set_freq[7074000]."}},
        Parsed{"+\\get_mode", {"get_mode[]+"}}, Parsed{"+f", {"get_freq[]+"}},
        Parsed{";f", {"get_freq[];"}}, Parsed{"|f", {"get_freq[]|"}}, Parsed{",f", {"get_freq[],"}},
        // rigctld takes any punctuation as a separator, and several commands on one
        // line, even without a blank between single-letter ones.
        Parsed{"%f", {"get_freq[]%"}}, Parsed{"f m", {"get_freq[].", "get_mode[]."}},
        Parsed{"ff", {"get_freq[].", "get_freq[]."}},
        Parsed{"F 14075000 f", {"set_freq[14075000].", "get_freq[]."}},
        Parsed{"f;m", {"get_freq[].", "get_mode[];"}}, Parsed{"  f  ", {"get_freq[]."}},
        Parsed{"1", {"dump_caps[]."}}, Parsed{"\\chk_vfo", {"chk_vfo[]."}},
        Parsed{"\\dump_state", {"dump_state[]."}}, Parsed{"q", {"quit[]."}},
        Parsed{"\\get_powerstat", {"get_powerstat[]."}},
        // Nothing asked: an empty line, junk bytes, a lone separator.
        Parsed{"", {}}, Parsed{"\x01\x02\xff", {}}, Parsed{"+", {}}, Parsed{"+ f", {"get_freq[]."}},
        // Junk between commands only separates them.
        Parsed{std::string("f\x00m", 3), {"get_freq[].", "get_mode[]."}},
        // Arguments missing at the end of the line.
        Parsed{"F", {"set_freq[...]."}}, Parsed{"M USB", {"set_mode[USB...]."}},
        // Unknown: the rest of the line goes with it (its arguments are no commands).
        Parsed{"J 100 f", {"?J[]."}}, Parsed{"\\set_clock 2026 f", {"?set_clock[]."}},
        Parsed{"f \\foo m", {"get_freq[].", "?foo[]."}}, Parsed{"+y", {"?y[]+"}}));

struct Answered {
  std::string line;  // one request
  std::vector<Field> values;
  int code;  // used when values is empty
  std::string answer;
};

class AnswerForm : public testing::TestWithParam<Answered> {};

TEST_P(AnswerForm, IsRigctldsForm) {
  const Answered& a = GetParam();
  const std::vector<Request> requests = parseLine(a.line);
  ASSERT_EQ(requests.size(), 1u);
  const std::string got = a.values.size() == 0 ? answerStatus(requests[0], a.code)
                                               : answerValues(requests[0], a.values);
  EXPECT_EQ(got, a.answer) << "request: " << a.line;
}

INSTANTIATE_TEST_SUITE_P(
    Recorded, AnswerForm,
    testing::Values(
        Answered{"f", {{"Frequency", "14200000"}}, 0, "14200000\n"},
        Answered{"+f", {{"Frequency", "14200000"}}, 0, "get_freq:\nFrequency: 14200000\nRPRT 0\n"},
        Answered{";f", {{"Frequency", "14200000"}}, 0, "get_freq:;Frequency: 14200000;RPRT 0\n"},
        Answered{"|f", {{"Frequency", "14200000"}}, 0, "get_freq:|Frequency: 14200000|RPRT 0\n"},
        Answered{",f", {{"Frequency", "14200000"}}, 0, "get_freq:,Frequency: 14200000,RPRT 0\n"},
        Answered{"+\\get_freq",
                 {{"Frequency", "14200000"}},
                 0,
                 "get_freq:\nFrequency: 14200000\nRPRT 0\n"},
        Answered{"m", {{"Mode", "USB"}, {"Passband", "2200"}}, 0, "USB\n2200\n"},
        Answered{"+m",
                 {{"Mode", "CW"}, {"Passband", "600"}},
                 0,
                 "get_mode:\nMode: CW\nPassband: 600\nRPRT 0\n"},
        Answered{";m",
                 {{"Mode", "USB"}, {"Passband", "3000"}},
                 0,
                 "get_mode:;Mode: USB;Passband: 3000;RPRT 0\n"},
        Answered{"s", {{"Split", "0"}, {"TX VFO", "VFOA"}}, 0, "0\nVFOA\n"},
        Answered{"+s",
                 {{"Split", "0"}, {"TX VFO", "VFOA"}},
                 0,
                 "get_split_vfo:\nSplit: 0\nTX VFO: VFOA\nRPRT 0\n"},
        Answered{"+v", {{"VFO", "VFOA"}}, 0, "get_vfo:\nVFO: VFOA\nRPRT 0\n"},
        Answered{"+t", {{"PTT", "0"}}, 0, "get_ptt:\nPTT: 0\nRPRT 0\n"},
        Answered{"+i",
                 {{"TX Frequency", "14075000"}},
                 0,
                 "get_split_freq:\nTX Frequency: 14075000\nRPRT 0\n"},
        Answered{"+x",
                 {{"TX Mode", "CW"}, {"TX Passband", "600"}},
                 0,
                 "get_split_mode:\nTX Mode: CW\nTX Passband: 600\nRPRT 0\n"},
        Answered{"l STRENGTH", {{"", "-18"}}, 0, "-18\n"},
        Answered{"+l STRENGTH", {{"", "-18"}}, 0, "get_level: STRENGTH\n-18\nRPRT 0\n"},
        Answered{"+\\get_powerstat",
                 {{"Power Status", "1"}},
                 0,
                 "get_powerstat:\nPower Status: 1\nRPRT 0\n"},
        Answered{"F 14074000", {}, 0, "RPRT 0\n"},
        Answered{"+F 14074000", {}, 0, "set_freq: 14074000\nRPRT 0\n"},
        Answered{"F abc", {}, -1, "RPRT -1\n"},
        Answered{"+F abc", {}, -1, "set_freq: abc\nRPRT -1\n"},
        Answered{";F abc", {}, -1, "set_freq: abc;RPRT -1\n"},
        Answered{"+M USB 0", {}, 0, "set_mode: USB 0\nRPRT 0\n"},
        Answered{"+V VFOA", {}, 0, "set_vfo: VFOA\nRPRT 0\n"},
        Answered{"+S 0 VFOA", {}, 0, "set_split_vfo: 0 VFOA\nRPRT 0\n"},
        Answered{"+T 0", {}, 0, "set_ptt: 0\nRPRT 0\n"},
        Answered{"+l FOO", {}, -1, "get_level: FOO\nRPRT -1\n"},
        Answered{"\\get_powerstat", {}, -5, "RPRT -5\n"}, Answered{"q", {}, 0, "RPRT 0\n"},
        Answered{"+q", {}, 0, "RPRT 0\n"}));

}  // namespace
}  // namespace orvane::rig
