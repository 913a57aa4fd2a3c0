#pragma once

// Generated post pages for the body search benchmark: Chinese bodies drawn from a word
// frequency list (real common words first, then a long tail of rarer words made of
// frequent characters), so common pairs are really common; with English words, code
// identifiers and a code block mixed in. About 4 KB of GBK each.

#include <QRandomGenerator>

#include <string>
#include <vector>

class SearchCorpus
{
public:
    explicit SearchCorpus(quint32 seed);

    // One post page (GBK), and the query candidates it offers.
    std::string makePost(long long topicid);

    // Query candidates (GBK): the most frequent 1- and 2-character words, words from
    // the far tail, identifiers.
    std::vector<std::string> commonWords() const;
    std::vector<std::string> tailWords(int count) const;
    std::vector<std::string> identifiers() const;

private:
    std::string drawWord();

    QRandomGenerator random_;
    std::vector<std::string> words_; // GBK, by falling frequency
    std::vector<double> cumulative_; // cumulative weights of words_
    std::vector<std::string> english_;
    std::vector<std::string> identifiers_;
};
