/* Nothing: the baseline of what preloading any library costs. */
