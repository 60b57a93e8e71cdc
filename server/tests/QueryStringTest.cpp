// A request target's query as the admin pages and the service description
// read it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QueryString.h"

namespace {

using ZelServer::ParseQuery;
using ZelServer::QueryPair;

TEST(QueryString, SplitsAndDecodesEachPair) {
  std::vector<QueryPair> pairs;
  ASSERT_TRUE(ParseQuery("/admin/faults?method=a%2Eb&fault=Not+Found&&wsdl&delay=", pairs));
  ASSERT_EQ(pairs.size(), 4u);
  EXPECT_EQ(pairs[0].name, "method");
  EXPECT_EQ(pairs[0].value, "a.b");
  EXPECT_EQ(pairs[1].value, "Not Found");
  EXPECT_EQ(pairs[2].name, "wsdl");
  EXPECT_FALSE(pairs[2].hasValue);
  EXPECT_EQ(pairs[3].name, "delay");
  EXPECT_TRUE(pairs[3].hasValue);
  EXPECT_EQ(pairs[3].value, "");

  ASSERT_TRUE(ParseQuery("/zel", pairs));
  EXPECT_TRUE(pairs.empty());
  ASSERT_TRUE(ParseQuery("/zel?", pairs));
  EXPECT_TRUE(pairs.empty());
}

TEST(QueryString, RefusesABrokenEscapeWhereverItStands) {
  std::vector<QueryPair> pairs;
  for (const char* target : {"/p?a=%", "/p?a=%4", "/p?a=%4g", "/p?%zz=1", "/p?a=1&b=x%2"}) {
    EXPECT_FALSE(ParseQuery(target, pairs)) << target;
  }
  ASSERT_TRUE(ParseQuery("/p?a=%41%42&b=%25", pairs));
  EXPECT_EQ(pairs[0].value, "AB");
  EXPECT_EQ(pairs[1].value, "%");
}

}  // namespace
