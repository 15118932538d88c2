#include "engine/journal/board_rules_lookup.h"

#include <exception>
#include <utility>

#include "engine/base/board_file.h"

namespace adw::engine {

BoardRulesLookup::BoardRulesLookup(std::string scriptDir)
    : m_scriptDir(std::move(scriptDir)), m_files(m_scriptDir) {}

const BoardRulesLookup::Board& BoardRulesLookup::Find(const std::string& fileName) {
  if (const auto known = m_boards.find(fileName); known != m_boards.end()) return known->second;
  Board board;
  const std::string actual = fileName.empty() ? std::string() : m_files.Find(fileName).value_or("");
  if (actual.empty()) {
    board.problem = "board file " + (fileName.empty() ? std::string("(none recorded)") : fileName) +
                    " is not in " + m_scriptDir;
  } else {
    try {
      std::string why;
      if (auto settings = ReadBoardJobSettings(BoardFile::Read(m_scriptDir, actual), why)) {
        board.settings = std::move(*settings);
      } else {
        board.problem = "board file " + actual + ": " + why;
      }
    } catch (const std::exception& error) {
      board.problem = "board file " + actual + " cannot be read: " + error.what();
    }
  }
  return m_boards.emplace(fileName, std::move(board)).first->second;
}

std::string BoardRulesLookup::Attach(JournalJob& job) {
  const Board& board = Find(job.boardFile);
  if (!board.problem.empty()) return board.problem;
  job.rules = board.settings.rules;
  job.delayMs = board.settings.delayMs;
  return {};
}

}  // namespace adw::engine
