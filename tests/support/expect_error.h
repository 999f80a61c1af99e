#pragma once
// Runs a statement and checks the tw::Error it raises: number and, when
// given, description.
#include <gtest/gtest.h>

#include <string>

#include "automation/error.h"

#define EXPECT_TW_ERROR(statement, expectedNumber)                                      \
  do {                                                                                  \
    bool raised_ = false;                                                               \
    try {                                                                               \
      statement;                                                                        \
    } catch (const ::tw::Error& e_) {                                                   \
      raised_ = true;                                                                   \
      EXPECT_EQ(e_.number(), static_cast<int32_t>(expectedNumber)) << e_.description(); \
    }                                                                                   \
    EXPECT_TRUE(raised_) << "no error raised by " #statement;                           \
  } while (0)

#define EXPECT_TW_ERROR_TEXT(statement, expectedNumber, expectedText)                   \
  do {                                                                                  \
    bool raised_ = false;                                                               \
    try {                                                                               \
      statement;                                                                        \
    } catch (const ::tw::Error& e_) {                                                   \
      raised_ = true;                                                                   \
      EXPECT_EQ(e_.number(), static_cast<int32_t>(expectedNumber)) << e_.description(); \
      EXPECT_EQ(e_.description(), std::string(expectedText));                           \
    }                                                                                   \
    EXPECT_TRUE(raised_) << "no error raised by " #statement;                           \
  } while (0)
